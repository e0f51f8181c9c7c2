#pragma once
// The debug window: while it is open the engine's trace (every step, byte
// and buffer of every download thread) is appended to it; closing it stops
// the trace. GUI thread; the trace lines arrive as queued calls.

#include <QDialog>

class QPlainTextEdit;

namespace brindelui {

class DebugWindow : public QDialog {
    Q_OBJECT
public:
    explicit DebugWindow(QWidget* parent = nullptr);
    ~DebugWindow() override;

    void append(const QString& line);
    [[nodiscard]] QStringList lines() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace brindelui
