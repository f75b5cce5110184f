#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace platform {

// One editor per user and display. A start with a file hands the file to
// the editor already running there, through a socket in the user's
// runtime folder that only the user can reach (a folder that is not the
// user's own, or a link, is never used). What passes is one file's
// absolute path, nothing else: a message that is not one is dropped. Its
// bytes need not be valid UTF-8: the name arrives as decodeFileName
// (storage/fileprobe.h) gives it, and the editor refuses it.
//
// A message is the path's bytes and a NUL; the running editor answers a
// path it takes with one byte, kAccepted, before it opens the file.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr char kAccepted = '\x06';

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The running editor's socket for this user and display (needs the
    // application object); empty when the user has no private runtime
    // folder.
    static QString socketPath();

    // Hands an absolute path to the running editor. True when it took it
    // (or holds it and is busy); false when there is none, or it went
    // away or refused, and this start must open the file itself.
    static bool handOver(const QString &absolutePath);

    // Serves later starts, unless a live editor serves already; a socket
    // left behind by an editor that has gone is replaced. False when not
    // serving.
    bool listen();
    // Stops serving: later starts run editors of their own.
    void close();
    bool isListening() const;

Q_SIGNALS:
    // Another start asks for a file to be opened.
    void openRequested(const QString &absolutePath);

private:
    void accept();
    void receive(QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
};

} // namespace platform
