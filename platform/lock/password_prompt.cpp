#include "platform/lock/password_prompt.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "platform/lock/guard_link.h"
#include "platform/lock/pam_check.h"
#include "platform/lock/password_field.h"

namespace platform {

PasswordCheck pamPasswordCheck() {
  const QByteArray user = currentUserName();
  QByteArray display = qgetenv("DISPLAY");
  if (display.isEmpty())
    display = qgetenv("WAYLAND_DISPLAY");
  return [user, display](QByteArray& password) { return checkPassword(user, password, display); };
}

PasswordDialog::PasswordDialog(QWidget* owner, PasswordCheck check, int idleMs)
    : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint),
      check_(std::move(check)),
      field_(new PasswordField(this)),
      status_(new QLabel(this)),
      idle_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Reelvista password"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("This screen is locked. Type your login password to end the "
                                  "screen saver:"),
                               this));
  field_->setObjectName(QStringLiteral("password"));
  layout->addWidget(field_);
  layout->addWidget(status_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &PasswordDialog::startCheck);
  connect(buttons, &QDialogButtonBox::rejected, this, &PasswordDialog::reject);

  idle_->setSingleShot(true);
  idle_->setInterval(idleMs);
  connect(idle_, &QTimer::timeout, this, &PasswordDialog::reject);
  connect(field_, &PasswordField::edited, idle_, qOverload<>(&QTimer::start));
  idle_->start();
  field_->setFocus();
  qApp->installEventFilter(this);
}

PasswordDialog::~PasswordDialog() {
  qApp->removeEventFilter(this);
  if (worker_.joinable())
    worker_.join();
}

void PasswordDialog::reject() {
  if (checking())
    return;  // the answer is on its way; the prompt closes with it
  field_->clear();
  QDialog::reject();
}

void PasswordDialog::done(int result) {
  emit closing();
  QDialog::done(result);
}

bool PasswordDialog::eventFilter(QObject* receiver, QEvent* event) {
  const QEvent::Type type = event->type();
  // The playback window comes to the top whenever it is activated; the
  // prompt, which has the keys, goes back over it at once.
  if (type == QEvent::WindowActivate && receiver == parentWidget())
    QMetaObject::invokeMethod(this, &QWidget::raise, Qt::QueuedConnection);
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return QDialog::eventFilter(receiver, event);
  const auto* widget = qobject_cast<QWidget*>(receiver);
  if (!widget || widget->window() == this || !windowSystemKeysCount_)
    return false;
  // A key held down since it woke the prompt repeats; it is not typed.
  const auto* key = static_cast<QKeyEvent*>(event);
  if (type == QEvent::KeyPress && !key->isAutoRepeat())
    QCoreApplication::sendEvent(field_, event);
  return true;
}

void PasswordDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Without a window manager nobody gives the new window the focus but us.
  activateWindow();
  field_->setFocus();
}

void PasswordDialog::keyPressEvent(QKeyEvent* event) {
  if (checking()) {
    event->accept();
    return;
  }
  idle_->start();
  QDialog::keyPressEvent(event);
}

void PasswordDialog::startCheck() {
  if (checking())
    return;
  // The field keeps no other copy; this one is wiped once checked.
  QByteArray password = field_->take();

  idle_->stop();
  field_->setEnabled(false);
  status_->setText(tr("Checking the password..."));
  worker_ = std::thread([this, password = std::move(password)]() mutable {
    const bool passed = check_(password);
    wipe(password);
    QMetaObject::invokeMethod(
        this, [this, passed] { finishCheck(passed); }, Qt::QueuedConnection);
  });
}

void PasswordDialog::finishCheck(bool passed) {
  worker_.join();
  if (passed)
    accept();
  else
    QDialog::reject();
}

QWidget& PasswordDialog::field() {
  return *field_;
}

DialogPasswordPrompt::DialogPasswordPrompt(GuardLink& guard, PasswordCheck check, int idleMs)
    : guard_(guard), check_(std::move(check)), idleMs_(idleMs) {}

bool DialogPasswordPrompt::verify(QWidget& owner) {
  if (open_)
    return false;  // one prompt at a time
  open_ = true;
  PasswordDialog dialog(&owner, check_, idleMs_);
  // Locked, the keys the guard hands over go to the field from now on, the
  // ones typed before the prompt is even on screen included; they go back
  // to the playback window as the prompt leaves the screen.
  dialog.setWindowSystemKeysCount(!guard_.locked());
  guard_.takeInput(dialog.field());
  bool givenBack = false;
  const auto giveBack = [&] {
    if (!std::exchange(givenBack, true))
      guard_.releaseInput(dialog.field());
  };
  QObject::connect(&dialog, &PasswordDialog::closing, giveBack);
  // Not modal: a modal prompt would make the window system's keys for the
  // playback window vanish until the prompt has the focus, and those are the
  // first letters of a password typed at once. The prompt takes them itself.
  QEventLoop untilClosed;
  QObject::connect(&dialog, &QDialog::finished, &untilClosed, &QEventLoop::quit);
  dialog.show();
  untilClosed.exec(QEventLoop::DialogExec);
  giveBack();  // however else it left the screen
  open_ = false;
  return dialog.result() == QDialog::Accepted;
}

}  // namespace platform
