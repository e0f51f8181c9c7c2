#include "mobile/shell/ui/progress_dialog.h"
#include "resources/strings.h"

#include "mobile/shell/core/status_text.h"
#include "mobile/shell/ui/dialogs.h"
#include "mobile/shell/ui/resource_bundle.h"
#include "mobile/shell/ui/skin.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace shellui {

namespace {

// The bar as this window draws it: a frame in one colour, the empty part
// in one brush and the done part (position x width / range) in another.
void PaintBar(QProgressBar* bar)
{
    QPainter p(bar);
    const QRect outer = bar->rect();
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    p.setPen(SkinColour(SkinPart::ProgressFrame));
    p.drawRect(outer.adjusted(0, 0, -1, -1));
    p.setPen(Qt::NoPen);
    p.setBrushOrigin(inner.topLeft());
    p.fillRect(inner, SkinBrush(SkinPart::ProgressEmpty));
    const int range = bar->maximum() - bar->minimum();
    const int done = range > 0 ? (bar->value() - bar->minimum()) * inner.width() / range : 0;
    if (done > 0)
        p.fillRect(QRect(inner.topLeft(), QSize(std::min(done, inner.width()), inner.height())),
                   SkinBrush(SkinPart::ProgressDone));
}

}  // namespace

CProgressBar::CProgressBar(ProgressContext context, shell::BatchEffects effects, QWidget* parent)
    : QDialog(parent), ctx_(std::move(context)), link_(std::make_unique<LinkWindow>(this))
{
    batch_ = std::make_unique<shell::TransferBatch>(static_cast<shell::BatchHost&>(*this), std::move(effects));
    setObjectName("dialog_161");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (QWidget* form = Res().loadDialogForm(161, this)) {
        form->setWindowFlags(Qt::Widget);
        setWindowTitle(form->windowTitle());
        resize(form->size());
        layout->addWidget(form);
        status_ = form->findChild<QLabel*>("ctl_1035");
        bar_ = form->findChild<QProgressBar*>("ctl_1034");
        percent_ = form->findChild<QLabel*>("ctl_1036");
        cancel_ = form->findChild<QPushButton*>("ctl_2");
    }
    // A template without its controls still gives a working window.
    if (!status_)
        layout->addWidget(status_ = new QLabel(this));
    if (!bar_)
        layout->addWidget(bar_ = new QProgressBar(this));
    if (!percent_)
        layout->addWidget(percent_ = new QLabel(this));
    if (!cancel_)
        layout->addWidget(cancel_ = new QPushButton(this));
    status_->setText(QString());
    percent_->setText("0%");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    cancel_->setText(Str(res::IDS_CANCEL));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, [this] { batch_->cancel(); });
    installEventFilter(this);
    for (QObject* child : findChildren<QObject*>())
        child->installEventFilter(this);
}

CProgressBar::~CProgressBar()
{
    // No record may reach this window once it is gone.
    link_.reset();
}

plat::ThreadId CProgressBar::guiThread() const
{
    return plat::CurrentThreadId();
}

int CProgressBar::run()
{
    if (ended_)
        return batch_->result();
    return exec();
}

void CProgressBar::startForTesting()
{
    if (!started_) {
        started_ = true;
        if (batch_->stepCount() == 0) {
            bar_->hide();
            percent_->hide();
        }
        // The handshake shows Cancel only while the phone is being booted.
        if (batch_->showCancelOnHandshake())
            cancel_->hide();
        batch_->start();
    }
}

void CProgressBar::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!started_)
        QTimer::singleShot(0, this, [this] { startForTesting(); });
}

bool CProgressBar::event(QEvent* e)
{
    if (e->type() == LinkEvent::Type()) {
        auto* le = static_cast<LinkEvent*>(e);
        if (le->message().message == WM_LINK_RESULT) {
            const auto kind = int32_t(le->message().wParam);
            batch_->onResult(kind, reinterpret_cast<LinkResult*>(le->takeRecord()));
        }
        return true;
    }
    return QDialog::event(e);
}

bool CProgressBar::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::Paint:
        if (watched != bar_)
            return QDialog::eventFilter(watched, e);
        PaintBar(bar_);
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: return true;
    default: return QDialog::eventFilter(watched, e);
    }
}

void CProgressBar::closeEvent(QCloseEvent* e)
{
    // Only the batch (or its Cancel button) closes this window.
    if (!ended_)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

std::string CProgressBar::text(int stringId) const
{
    return Str(stringId).toStdString();
}

void CProgressBar::showStatus(const std::string& text)
{
    status_->setText(QString::fromStdString(shell::ShortenStatusText(text)));
    if (ctx_.mainStatus)
        ctx_.mainStatus(QString::fromStdString(text));
}

void CProgressBar::showProgress(int position, const std::string& percentText)
{
    bar_->setValue(position);
    percent_->setText(QString::fromStdString(percentText));
}

void CProgressBar::showCancelButton(bool visible)
{
    cancel_->setVisible(visible);
}

void CProgressBar::showError(int stringId)
{
    (void)ShowMessage(this, MessageKind::Error, Str(stringId));
}

void CProgressBar::finished(int result)
{
    ended_ = true;
    done(result);
}

QString CProgressBar::statusText() const
{
    return status_->text();
}
QString CProgressBar::percentText() const
{
    return percent_->text();
}
int CProgressBar::barPosition() const
{
    return bar_->value();
}
bool CProgressBar::cancelVisible() const
{
    return !cancel_->isHidden();
}

}  // namespace shellui
