// A small HTTP server on 127.0.0.1 inside the test process, standing in for the update site.
#pragma once

#include <map>
#include <vector>

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace ivo::testing {

class LocalSite : public QObject {
public:
    struct Page {
        int status = 200;
        QByteArray body;
        // Announce the whole body but send only this many bytes, then hang up.
        int cutAt = -1;
        // Send the headers and this many bytes, then keep the connection open.
        int stallAt = -1;
    };

    LocalSite() {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, this, [this, s] { onRequest(s); });
            }
        });
    }

    // "http://127.0.0.1:<port>" + `path`.
    QString address(const QString& path = {}) const {
        return "http://127.0.0.1:" + QString::number(server_.serverPort()) + path;
    }
    // The page served at `path` (without the query).
    Page& at(const QString& path) { return pages_[path]; }

    // Every path asked for, with its query, in order.
    std::vector<QString> requests;
    int count(const QString& path) const {
        int n = 0;
        for (const QString& r : requests)
            if (r.section('?', 0, 0) == path) ++n;
        return n;
    }

private:
    void onRequest(QTcpSocket* s) {
        buffers_[s] += s->readAll();
        const QByteArray& got = buffers_[s];
        if (!got.contains("\r\n\r\n")) return;
        const QList<QByteArray> line = got.left(got.indexOf("\r\n")).split(' ');
        const QString target = line.size() > 1 ? QString::fromUtf8(line[1]) : QString();
        buffers_.erase(s);
        requests.push_back(target);
        const auto it = pages_.find(target.section('?', 0, 0));
        const Page page = it != pages_.end() ? it->second : Page{404, "absent"};
        QByteArray head = "HTTP/1.1 " + QByteArray::number(page.status) +
                          " X\r\nContent-Length: " + QByteArray::number(page.body.size()) +
                          "\r\nConnection: close\r\n\r\n";
        s->write(head);
        if (page.stallAt >= 0) {
            s->write(page.body.left(page.stallAt));
            return;
        }
        s->write(page.cutAt >= 0 ? page.body.left(page.cutAt) : page.body);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QString, Page> pages_;
    std::map<QTcpSocket*, QByteArray> buffers_;
};

}  // namespace ivo::testing
