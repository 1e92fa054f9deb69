// A PostgreSQL server of one test's own (data folder, port and socket under /tmp), for the
// tests that stop or restart a server: the shared test server is never touched.
#pragma once

#include <QString>
#include <QTemporaryDir>

class PrivatePostgres {
public:
    PrivatePostgres();
    ~PrivatePostgres();
    PrivatePostgres(const PrivatePostgres&) = delete;
    PrivatePostgres& operator=(const PrivatePostgres&) = delete;

    // Creates the cluster and starts the server on a free loopback port; false with the
    // reason in Error() when the server cannot be run here.
    bool Start();
    // A fast restart: every client connection is cut, the server listens again on the same
    // port when this returns true.
    bool Restart();
    void Stop();
    // Starts a stopped server again, on the same port with the same data.
    bool Resume();

    int Port() const { return m_nPort; }
    const QString& Error() const { return m_strError; }

private:
    bool Run(const QString& program, const QStringList& arguments);
    QString Bin(const QString& program) const;
    bool Launch();

    QTemporaryDir m_dir;
    QString m_strBin;
    QString m_strError;
    int m_nPort = 0;
    bool m_bRunning = false;
};
