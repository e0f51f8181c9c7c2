#include "debug_window.h"

#include "operator_texts.h"

#include "brindel/dwl17debug.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace brindelui {

namespace {
// Called by the engine on the thread that traces, under the trace's lock.
void TraceLine(const char* line, void* user)
{
    auto* window = static_cast<DebugWindow*>(user);
    const QString text = QString::fromUtf8(line);
    QMetaObject::invokeMethod(
        window, [window, text] { window->append(text); }, Qt::QueuedConnection);
}
}  // namespace

DebugWindow::DebugWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Tr(Text::Debug));
    auto* layout = new QVBoxLayout(this);
    text_ = new QPlainTextEdit;
    text_->setReadOnly(true);
    text_->setMaximumBlockCount(20000);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(text_);
    auto* buttons = new QHBoxLayout;
    auto* clear = new QPushButton(Tr(Text::Clear));
    auto* close = new QPushButton(Tr(Text::Close));
    buttons->addStretch(1);
    buttons->addWidget(clear);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(clear, &QPushButton::clicked, text_, &QPlainTextEdit::clear);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    resize(560, 420);
}

DebugWindow::~DebugWindow()
{
    dwl17_1CloseDebugTrace();
}

void DebugWindow::append(const QString& line)
{
    text_->appendPlainText(line);
}

QStringList DebugWindow::lines() const
{
    return text_->toPlainText().split('\n', Qt::SkipEmptyParts);
}

void DebugWindow::showEvent(QShowEvent* event)
{
    dwl17_0OpenDebugTrace(&TraceLine, this);
    QDialog::showEvent(event);
}

void DebugWindow::hideEvent(QHideEvent* event)
{
    // No line is traced to this window once the close returns.
    dwl17_1CloseDebugTrace();
    QDialog::hideEvent(event);
}

}  // namespace brindelui
