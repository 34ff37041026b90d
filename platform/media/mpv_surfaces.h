#pragma once

#include <QImage>
#include <QOpenGLWidget>
#include <QWidget>
#include <functional>

struct mpv_handle;
struct mpv_render_context;

namespace platform {

// Where mpv draws the picture. A surface makes mpv's render context and hands
// it every frame; it takes no input of its own, so the keyboard and the mouse
// stay with the player that holds it.
class MpvSurface {
 public:
  virtual ~MpvSurface() = default;
  // True once mpv can draw here; files may be opened only from then on.
  virtual bool isReady() const = 0;
  virtual QWidget& widget() = 0;
};

// Draws with OpenGL into the window, on a real display (Xvfb included).
class MpvGlSurface final : public QOpenGLWidget, public MpvSurface {
 public:
  MpvGlSurface(mpv_handle* mpv, std::function<void()> onReady, QWidget* parent);
  ~MpvGlSurface() override;

  bool isReady() const override { return context_ != nullptr; }
  QWidget& widget() override { return *this; }

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void freeContext();

  mpv_handle* mpv_;
  std::function<void()> onReady_;
  mpv_render_context* context_ = nullptr;
};

// Draws with mpv's software renderer into an image, where no OpenGL exists
// (Qt's offscreen platform).
class MpvSoftwareSurface final : public QWidget, public MpvSurface {
 public:
  MpvSoftwareSurface(mpv_handle* mpv, QWidget* parent);
  ~MpvSoftwareSurface() override;

  bool isReady() const override { return context_ != nullptr; }
  QWidget& widget() override { return *this; }
  // The picture as last drawn, at the surface's size.
  QImage frame();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  mpv_render_context* context_ = nullptr;
  QImage frame_;
};

}  // namespace platform
