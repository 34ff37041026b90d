#include "platform/media/mpv_surfaces.h"

#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <QOpenGLContext>
#include <QPainter>
#include <QPointer>

#include "platform/errors.h"

namespace platform {
namespace {

void* glProcAddress(void* /*context*/, const char* name) {
  QOpenGLContext* current = QOpenGLContext::currentContext();
  return current ? reinterpret_cast<void*>(current->getProcAddress(name)) : nullptr;
}

// mpv calls this on one of its own threads: only post a repaint to the GUI
// thread. A surface gone by then takes the queued call with it.
void postRepaint(void* surface) {
  QPointer<QWidget> target(static_cast<QWidget*>(surface));
  QMetaObject::invokeMethod(
      static_cast<QWidget*>(surface),
      [target] {
        if (target)
          target->update();
      },
      Qt::QueuedConnection);
}

void setWidgetForDrawingOnly(QWidget& widget) {
  widget.setAttribute(Qt::WA_TransparentForMouseEvents);
  widget.setFocusPolicy(Qt::NoFocus);
  widget.setAttribute(Qt::WA_OpaquePaintEvent);
}

}  // namespace

MpvGlSurface::MpvGlSurface(mpv_handle* mpv, std::function<void()> onReady, QWidget* parent)
    : QOpenGLWidget(parent), mpv_(mpv), onReady_(std::move(onReady)) {
  setWidgetForDrawingOnly(*this);
}

MpvGlSurface::~MpvGlSurface() {
  freeContext();
}

void MpvGlSurface::freeContext() {
  if (!context_)
    return;
  makeCurrent();
  mpv_render_context_free(context_);
  context_ = nullptr;
  doneCurrent();
}

void MpvGlSurface::initializeGL() {
  mpv_opengl_init_params gl{glProcAddress, nullptr};
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_OPENGL)},
      {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_create(&context_, mpv_, params) < 0) {
    context_ = nullptr;
    throw PlatformError(ErrorNumber::Other, "The player cannot draw with OpenGL here.");
  }
  mpv_render_context_set_update_callback(context_, postRepaint, this);
  // The GL context goes with the window when the widget moves to another
  // window; mpv's context must go first.
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { freeContext(); });
  if (onReady_)
    onReady_();
}

void MpvGlSurface::paintGL() {
  if (!context_)
    return;
  const qreal ratio = devicePixelRatioF();
  mpv_opengl_fbo fbo{static_cast<int>(defaultFramebufferObject()),
                     static_cast<int>(width() * ratio), static_cast<int>(height() * ratio), 0};
  int flipY = 1;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
      {MPV_RENDER_PARAM_FLIP_Y, &flipY},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context_update(context_);
  mpv_render_context_render(context_, params);
}

MpvSoftwareSurface::MpvSoftwareSurface(mpv_handle* mpv, QWidget* parent) : QWidget(parent) {
  setWidgetForDrawingOnly(*this);
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_create(&context_, mpv, params) < 0) {
    context_ = nullptr;
    throw PlatformError(ErrorNumber::Other, "The player cannot draw here.");
  }
  mpv_render_context_set_update_callback(context_, postRepaint, this);
}

MpvSoftwareSurface::~MpvSoftwareSurface() {
  if (context_)
    mpv_render_context_free(context_);
}

QImage MpvSoftwareSurface::frame() {
  if (frame_.size() != size() || frame_.isNull())
    frame_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  int size[2] = {frame_.width(), frame_.height()};
  // Format_RGB32 keeps blue, green, red, unused in memory order.
  char format[] = "bgr0";
  size_t stride = static_cast<size_t>(frame_.bytesPerLine());
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, size},      {MPV_RENDER_PARAM_SW_FORMAT, format},
      {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, frame_.bits()},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context_update(context_);
  mpv_render_context_render(context_, params);
  return frame_;
}

void MpvSoftwareSurface::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, frame());
}

}  // namespace platform
