#pragma once

#include <chrono>
#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

// What one run of the built quimbrel-query did.
struct QueryRun {
    int exitCode = -1;  // -1 when it crashed or did not end in time
    QByteArray out;
    QByteArray err;
    std::chrono::milliseconds elapsed{0};

    QStringList Lines() const;  // stdout as UTF-8 lines, without the last line break
    QJsonObject Json() const;   // stdout as a JSON object; empty when it is none
};

// Runs quimbrel-query with arguments and waits for it to end, at most 30 s;
// in the network namespace open as networkNamespace, when one is given, and
// without the right to raw sockets (CAP_NET_RAW), when asked.
QueryRun RunQuery(const QStringList& arguments, const QStringList& environment = {}, int networkNamespace = -1,
                  bool withoutRawSockets = false);
