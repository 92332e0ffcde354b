#include "runquery.h"

#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>

#include <sched.h>
#include <unistd.h>

QStringList QueryRun::Lines() const
{
    QString text = QString::fromUtf8(out);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QJsonObject QueryRun::Json() const
{
    return QJsonDocument::fromJson(out).object();
}

QueryRun RunQuery(const QStringList& arguments, const QStringList& environment, int networkNamespace)
{
    QProcess process;
    if (networkNamespace >= 0)
        process.setChildProcessModifier([networkNamespace] {
            if (setns(networkNamespace, CLONE_NEWNET) != 0)
                _exit(127);  // never let it run in the wrong network
        });
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    // A settings file of the user's must never choose the list server here.
    variables.insert(QStringLiteral("QUIMBREL_INI"), QStringLiteral("/nonexistent/Quimbrel.ini"));
    for (const QString& assignment : environment)
        variables.insert(assignment.section(QLatin1Char('='), 0, 0), assignment.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(variables);

    const auto start = std::chrono::steady_clock::now();
    process.start(QStringLiteral(QUIMBREL_QUERY_PATH), arguments);
    QueryRun run;
    if (!process.waitForFinished(30'000)) {
        process.kill();
        process.waitForFinished(5'000);
        return run;
    }
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    return run;
}
