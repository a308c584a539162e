#pragma once

#include <memory>

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

namespace zonkle {

// One application per user: the first launch holds a lock file in the user's runtime directory
// for its whole run and listens on a local socket beside it; a later launch finds the lock held,
// asks the first over the socket to show its panel and ends. The lock names its owner's process,
// so one left behind by a crash is taken over at once.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // Whether this process is the one that runs the application.
    bool isFirst() const { return first; }
    // For a later launch: asks the first to show its panel. False when it did not answer.
    bool askFirstToShowPanel() const;

signals:
    // In the first instance: a later launch asked for the panel.
    void showPanelRequested();

private:
    void onNewConnection();

    std::unique_ptr<QLockFile> lock;
    QLocalServer server;
    QString socketPath;
    bool first = true;
};

} // namespace zonkle
