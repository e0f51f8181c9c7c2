#pragma once
// The service window: switch on (boot and list the flash descriptions and
// the sectors), switch off, erase a bank or all banks, erase a sector, and
// the dump of a sector (the main window's read block). The commands run on
// the operator window's engine thread; their rows arrive as queued calls.
// GUI thread.

#include <QDialog>
#include <QStringList>

class QComboBox;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace brindelui {

class OperatorWindow;

class ServiceWindow : public QDialog {
    Q_OBJECT
public:
    explicit ServiceWindow(OperatorWindow* owner);

    void switchOn();
    void switchOff();
    void eraseBank(int bank);  // DWL_ALL_BANKS: every bank
    void eraseSector(int sector);
    void dumpSector(int sector);
    void setBusy(bool busy);

    [[nodiscard]] QStringList descriptions() const;
    [[nodiscard]] QStringList sectorRows() const;

    // From the engine thread (queued).
    void addDescription(const QString& row);
    void setSectorRow(int sector, const QString& row);
    void switchedOn();

private:
    OperatorWindow* owner_;
    QListWidget* descriptions_ = nullptr;
    QListWidget* sectors_ = nullptr;
    QComboBox* bank_ = nullptr;
    QSpinBox* sector_ = nullptr;
    QList<QPushButton*> buttons_;
};

}  // namespace brindelui
