#pragma once
// One running program per user: the first start listens on a local socket;
// a later start finds it, asks it to come to the front, and exits.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace shellui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: socket name ("" = per-user default, or $TELVANE_INSTANCE_NAME).
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when no other instance answered (this one now listens, if it
    // can); false when another one runs - that one has been asked to raise
    // its window.
    [[nodiscard]] bool claim();
    [[nodiscard]] static QString DefaultName();

signals:
    void raiseRequested();

private:
    QString name_;
    QLocalServer server_;
};

}  // namespace shellui
