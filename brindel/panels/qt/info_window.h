#pragma once
// The information windows (the software's and the package's identification,
// field by field) and the multi-pack window (the pack areas of the software,
// one of which the package download goes to). GUI thread.

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QTableWidget;
class QTreeWidget;

namespace brindelui {

class OperatorWindow;

class InfoWindow : public QDialog {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget* parent = nullptr);
    void showSoftware(const uint8_t* image, uint32_t size);
    void showPackage(const uint8_t* package, uint32_t size, int softwareVersion);
    [[nodiscard]] QStringList lines() const;  // "label: value" or the message

    void addLine(const char* label, const char* value);

private:
    QTreeWidget* tree_ = nullptr;
};

class MultiPackWindow : public QDialog {
    Q_OBJECT
public:
    explicit MultiPackWindow(OperatorWindow* owner);
    [[nodiscard]] int packCount() const;
    // Starts the package download into pack `row`.
    void downloadInto(int row);

private:
    OperatorWindow* owner_;
    QTableWidget* table_ = nullptr;
};

}  // namespace brindelui
