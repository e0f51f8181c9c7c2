#include "mobile/shell/ui/dialogs.h"

#include "mobile/shell/ui/resource_bundle.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace shellui {

namespace {
constexpr int kSplashSteps = 25;
constexpr int kSplashStepMs = 20;
constexpr int kSplashHoldMs = 2000;
}  // namespace

TemplateDialog::TemplateDialog(int templateId, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dialog_%1").arg(templateId));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    form_ = Res().loadDialogForm(templateId, this);
    if (!form_)
        return;
    form_->setWindowFlags(Qt::Widget);
    setWindowTitle(form_->windowTitle());
    layout->addWidget(form_);
    resize(form_->size());
    // Return presses OK wherever the focus is, not the focused button.
    for (auto* b : form_->findChildren<QPushButton*>())
        b->setAutoDefault(false);
    if (auto* ok = form_->findChild<QPushButton*>("ctl_1")) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setDefault(true);
    }
    if (auto* cancel = form_->findChild<QPushButton*>("ctl_2"))
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The template's form is a dialog of its own: Escape and Return reach
    // it first and would close only the inner one, leaving this window
    // empty and modal. Its verdict is this dialog's.
    if (auto* inner = qobject_cast<QDialog*>(form_)) {
        connect(inner, &QDialog::rejected, this, &QDialog::reject);
        connect(inner, &QDialog::accepted, this, &QDialog::accept);
    }
}

ConnectionDialog::ConnectionDialog(int initialChoice, QWidget* parent) : TemplateDialog(256, parent)
{
    setChoice(initialChoice);
}

int ConnectionDialog::choice() const
{
    auto* phone = form() ? form()->findChild<QRadioButton*>("ctl_1134_1") : nullptr;
    return phone && phone->isChecked() ? 1 : 0;
}

void ConnectionDialog::setChoice(int choice)
{
    if (!form())
        return;
    if (auto* b = form()->findChild<QRadioButton*>(QStringLiteral("ctl_1134_%1").arg(choice == 1 ? 1 : 0)))
        b->setChecked(true);
}

bool AskTemplate(int templateId, QWidget* parent)
{
    TemplateDialog d(templateId, parent);
    return d.exec() == QDialog::Accepted;
}

bool ShowMessage(QWidget* parent, MessageKind kind, const QString& text, bool withCancel)
{
    const QMessageBox::Icon icon = kind == MessageKind::Information ? QMessageBox::Information
        : kind == MessageKind::Question                             ? QMessageBox::Question
                                                                    : QMessageBox::Critical;
    QMessageBox box(icon, Str(57344), text,
                    QMessageBox::Ok | (withCancel ? QMessageBox::Cancel : QMessageBox::NoButton), parent);
    box.button(QMessageBox::Ok)->setText(Str(59004));
    if (withCancel)
        box.button(QMessageBox::Cancel)->setText(Str(57765));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

SplashWindow::SplashWindow(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName("dialog_203");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QPixmap bitmap = Res().bitmap("bitmaps/202.png");
    // The window grows from a tiny size: nothing inside may hold it bigger.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    if (QWidget* form = Res().loadDialogForm(203, this)) {
        form->setWindowFlags(Qt::Widget);
        form->setMinimumSize(1, 1);
        if (form->layout())
            form->layout()->setSizeConstraint(QLayout::SetNoConstraint);
        layout->addWidget(form);
        if (auto* label = form->findChild<QLabel*>("ctl_202")) {
            label->setPixmap(bitmap);
            label->setMinimumSize(1, 1);
        }
    }
    setMinimumSize(1, 1);
    full_ = bitmap.size();
    if (const QScreen* s = QGuiApplication::primaryScreen())
        full_ = full_.boundedTo(s->availableSize());
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { grow(); });
}

void SplashWindow::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (step_ == 0) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        step_ = 1;
        grow();
        timer_->start(kSplashStepMs);
    }
}

void SplashWindow::grow()
{
    const QSize size = step_ >= kSplashSteps ? full_ : full_ * step_ / kSplashSteps;
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                          : QRect(0, 0, 1024, 768);
    setGeometry(QRect(screen.center() - QPoint(size.width() / 2, size.height() / 2), size));
    if (step_ >= kSplashSteps) {
        timer_->stop();
        QApplication::restoreOverrideCursor();
        QTimer::singleShot(kSplashHoldMs, this, [this] { accept(); });
        return;
    }
    ++step_;
}

void SplashWindow::showFinished()
{
    step_ = kSplashSteps;
    show();
    timer_->stop();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    setGeometry(QRect(screen.center() - QPoint(full_.width() / 2, full_.height() / 2), full_));
}

QString AboutText()
{
    return QStringLiteral("Telvane 5.5 (MP3)\nBuild Dec 16 2005 16:17:38");
}

void ShowAbout(QWidget* parent)
{
    QMessageBox box(QMessageBox::NoIcon, Str(59025), AboutText(), QMessageBox::Ok, parent);
    box.setIconPixmap(Res().bitmap("icons/telvane-48.png"));
    box.button(QMessageBox::Ok)->setText(Str(59004));
    box.exec();
}

}  // namespace shellui
