// A small HTTP server on 127.0.0.1 inside the test process, standing in for the update site.
#pragma once

#include <algorithm>
#include <map>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace ivo::testing {

class LocalSite : public QObject {
public:
    struct Page {
        int status = 200;
        QByteArray body;
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

    std::vector<QString> requests;  // every path asked for, with its query, in order
    int count(const QString& path) const {
        return int(std::count_if(requests.begin(), requests.end(),
                                 [&](const QString& r) { return r.section('?', 0, 0) == path; }));
    }

private:
    void onRequest(QTcpSocket* s) {
        QByteArray& got = buffers_[s];
        got += s->readAll();
        if (!got.contains("\r\n\r\n")) return;
        const QList<QByteArray> line = got.left(got.indexOf("\r\n")).split(' ');
        requests.push_back(line.size() > 1 ? QString::fromUtf8(line[1]) : QString());
        buffers_.erase(s);
        const auto it = pages_.find(requests.back().section('?', 0, 0));
        const Page page = it != pages_.end() ? it->second : Page{404, "absent"};
        s->write("HTTP/1.1 " + QByteArray::number(page.status) + " X\r\nContent-Length: " +
                 QByteArray::number(page.body.size()) + "\r\nConnection: close\r\n\r\n");
        s->write(page.body);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    std::map<QString, Page> pages_;
    std::map<QTcpSocket*, QByteArray> buffers_;
};

}  // namespace ivo::testing
