// A scripted stand-in for the Command runtime, for the tests. It speaks the line
// protocol (version 1): one JSON request per line on standard input, JSON events
// on standard output.
//
// What it does for a request is chosen by the request's instruction: its first
// word is the mode, the words after it are key=value arguments (or, for "raw",
// the line to write). A request without an instruction uses the mode in
// $SORVANE_FAKE_AGENT_MODE, else "stream".
//
//   stream [delay=ms]   phase loadingModel, phase generating, deltas "Hello" ", " "world",
//                       completed "Hello, world" (after waiting delay first)
//   flood count=n       phase generating, n deltas "x", completed with n times "x"
//   slow-load delay=ms  phase loadingModel, waits, then phase generating and completed "Loaded"
//   silent              never answers
//   generate-then-hang [delay=ms]  phase generating (after waiting delay), then never answers
//   crash               phase generating, a delta, four lines on standard error, then SIGKILL
//   garbage             phase generating, then a line that is not an event
//   error / error-bare  an error event for the request, with / without text
//   reject / reject-bare an error event for no request, with / without text
//   split               one event written in two pieces, then two events and an empty line in one write
//   complete-exit       completed, then exits at once
//   ignore-term         ignores SIGTERM and end of input, starts a child that does too, phase generating
//   linger              phase generating; at end of input writes late events for the request and exits 1
//   huge                writes more than 32 MiB without a newline
//   wait-exit pid=p     waits until process p is gone, then completed "waited"
//   pid                 completed with its process id
//   raw <line> || <line> writes the lines as they are, in one write, with {id} replaced by the request id
//
// When $SORVANE_FAKE_AGENT_ANSWER is set, every request, whatever its instruction, is
// answered with phase generating and completed with that text.
//
// Any mode takes stderr=n: n lines on standard error first, and child=1: a child
// in its process group, with no pipes open, that would outlive it.
//
// When $SORVANE_FAKE_AGENT_LOG names a file, one JSON record per line is appended
// to it: the start (arguments, environment, process group), every request line
// received, children started, the end of input, and SIGTERM (on which it exits).
// "forgetTurns" and "keepTurns" lines are recorded as "turns" and not answered.

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            std::_Exit(9); // the reader went away
        done += n;
    }
}

void sleepMs(int ms)
{
    if (ms > 0)
        ::usleep(useconds_t(ms) * 1000);
}

void logRecord(QJsonObject record)
{
    const QByteArray path = qgetenv("SORVANE_FAKE_AGENT_LOG");
    if (path.isEmpty())
        return;
    record.insert(QStringLiteral("pid"), qint64(::getpid()));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    // One write per record, so records of several processes never interleave.
    writeAll(fd, QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    ::close(fd);
}

QByteArray event(const QString &requestID, const char *kind, const QJsonObject &extra = {})
{
    QJsonObject object = extra;
    object.insert(QStringLiteral("version"), 1);
    if (!requestID.isEmpty())
        object.insert(QStringLiteral("requestID"), requestID);
    object.insert(QStringLiteral("kind"), QString::fromLatin1(kind));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray phase(const QString &id, const char *name)
{
    return event(id, "phase", {{QStringLiteral("phase"), QString::fromLatin1(name)}});
}

QByteArray withText(const QString &id, const char *kind, const QString &text)
{
    return event(id, kind, {{QStringLiteral("text"), text}});
}

void send(const QByteArray &bytes) { writeAll(STDOUT_FILENO, bytes); }

// Reads one line from standard input; false at end of input.
bool readLine(QByteArray &buffer, QByteArray &line)
{
    for (;;) {
        const qsizetype newline = buffer.indexOf('\n');
        if (newline >= 0) {
            line = buffer.left(newline);
            buffer.remove(0, newline + 1);
            return true;
        }
        char chunk[65536];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer.append(chunk, n);
    }
}

void waitForEndOfInput(QByteArray &buffer)
{
    QByteArray line;
    while (readLine(buffer, line)) {
    }
    logRecord({{QStringLiteral("record"), QStringLiteral("endOfInput")}});
}

// Precomputed so that the signal handler only calls async-signal-safe functions.
QByteArray terminationRecord;
QByteArray logPath;

void onTermination(int)
{
    const int fd = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, terminationRecord.constData(), size_t(terminationRecord.size()));
        ::close(fd);
    }
    ::_exit(143);
}

[[noreturn]] void hangForever()
{
    for (;;)
        ::pause();
}

// A child that keeps none of the pipes open, so that only the process group ties it
// to the runtime; it runs until it is killed.
pid_t startChild()
{
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            ::close(fd);
        hangForever();
    }
    logRecord({{QStringLiteral("record"), QStringLiteral("child")}, {QStringLiteral("child"), qint64(child)}});
    return child;
}

bool processGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

void serve(const QJsonObject &request, QByteArray &inputBuffer)
{
    const QString id = request.value(QStringLiteral("requestID")).toString();
    if (qEnvironmentVariableIsSet("SORVANE_FAKE_AGENT_ANSWER")) {
        send(phase(id, "generating"));
        send(withText(id, "completed", qEnvironmentVariable("SORVANE_FAKE_AGENT_ANSWER")));
        return;
    }
    QString instruction = request.value(QStringLiteral("instruction")).toString();
    if (instruction.isEmpty())
        instruction = qEnvironmentVariable("SORVANE_FAKE_AGENT_MODE", QStringLiteral("stream"));
    const qsizetype space = instruction.indexOf(QLatin1Char(' '));
    const QString mode = instruction.left(space < 0 ? instruction.size() : space);
    const QString rest = space < 0 ? QString() : instruction.mid(space + 1);
    QHash<QString, QString> arguments;
    for (const QString &word : rest.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        if (equals > 0)
            arguments.insert(word.left(equals), word.mid(equals + 1));
    }
    const int delay = arguments.value(QStringLiteral("delay")).toInt();
    // stderr=n: n diagnostic lines (with an empty one among them) before anything else.
    const int diagnostics = arguments.value(QStringLiteral("stderr")).toInt();
    for (int i = 1; i <= diagnostics; ++i)
        writeAll(STDERR_FILENO, QByteArray(i == 2 ? "\n" : "") + "note " + QByteArray::number(i) + "\n");
    if (arguments.value(QStringLiteral("child")) == QLatin1String("1"))
        startChild();

    if (mode == QLatin1String("stream")) {
        sleepMs(delay);
        send(phase(id, "loadingModel"));
        send(phase(id, "generating"));
        for (const char *piece : {"Hello", ", ", "world"})
            send(withText(id, "delta", QString::fromLatin1(piece)));
        send(withText(id, "completed", QStringLiteral("Hello, world")));
    } else if (mode == QLatin1String("flood")) {
        const int count = arguments.value(QStringLiteral("count")).toInt();
        send(phase(id, "generating"));
        const QByteArray delta = withText(id, "delta", QStringLiteral("x"));
        QByteArray chunk;
        for (int i = 0; i < count; ++i) {
            chunk += delta;
            if (chunk.size() >= 65536) {
                send(chunk);
                chunk.clear();
            }
        }
        send(chunk);
        send(withText(id, "completed", QString(count, QLatin1Char('x'))));
    } else if (mode == QLatin1String("slow-load")) {
        send(phase(id, "loadingModel"));
        sleepMs(delay);
        send(phase(id, "generating"));
        send(withText(id, "completed", QStringLiteral("Loaded")));
    } else if (mode == QLatin1String("silent")) {
    } else if (mode == QLatin1String("generate-then-hang")) {
        sleepMs(delay);
        send(phase(id, "generating"));
    } else if (mode == QLatin1String("crash")) {
        send(phase(id, "generating"));
        send(withText(id, "delta", QStringLiteral("partial")));
        writeAll(STDERR_FILENO, "first line\nsecond line\n\n\nthird line\r\nfourth line\n");
        ::raise(SIGKILL);
    } else if (mode == QLatin1String("garbage")) {
        send(phase(id, "generating"));
        send("this is not an event\n");
    } else if (mode == QLatin1String("error")) {
        send(withText(id, "error", QStringLiteral("The model ran out of memory.")));
    } else if (mode == QLatin1String("error-bare")) {
        send(event(id, "error"));
    } else if (mode == QLatin1String("reject")) {
        send(withText(QString(), "error", QStringLiteral("The runtime cannot serve requests.")));
    } else if (mode == QLatin1String("reject-bare")) {
        send(event(QString(), "error"));
    } else if (mode == QLatin1String("split")) {
        const QByteArray first = withText(id, "delta", QStringLiteral("one"));
        send(first.left(first.size() / 2));
        sleepMs(100);
        send(first.mid(first.size() / 2));
        send(withText(id, "delta", QStringLiteral("two")) + "\n" +
             withText(id, "completed", QStringLiteral("onetwo")));
    } else if (mode == QLatin1String("complete-exit")) {
        send(phase(id, "generating"));
        send(withText(id, "completed", QStringLiteral("Done and gone")));
        std::_Exit(0);
    } else if (mode == QLatin1String("ignore-term")) {
        ::signal(SIGTERM, SIG_IGN);
        startChild();
        send(phase(id, "generating"));
        waitForEndOfInput(inputBuffer);
        hangForever();
    } else if (mode == QLatin1String("linger")) {
        send(phase(id, "generating"));
        waitForEndOfInput(inputBuffer);
        send(withText(id, "delta", QStringLiteral("late")));
        send(withText(id, "completed", QStringLiteral("late answer")));
        send(event(QString(), "error"));
        writeAll(STDERR_FILENO, "late error output\n");
        std::_Exit(1);
    } else if (mode == QLatin1String("huge")) {
        send(phase(id, "generating"));
        const QByteArray block(1 << 20, 'a');
        for (int i = 0; i < 33; ++i)
            send(block);
        waitForEndOfInput(inputBuffer);
        std::_Exit(0);
    } else if (mode == QLatin1String("wait-exit")) {
        const pid_t other = pid_t(arguments.value(QStringLiteral("pid")).toLongLong());
        while (other > 0 && !processGone(other))
            sleepMs(10);
        send(withText(id, "completed", QStringLiteral("waited")));
    } else if (mode == QLatin1String("pid")) {
        send(phase(id, "generating"));
        send(withText(id, "completed", QString::number(::getpid())));
    } else if (mode == QLatin1String("raw")) {
        QByteArray lines;
        for (QString line : rest.split(QStringLiteral(" || "))) {
            line.replace(QStringLiteral("{id}"), id);
            lines += line.toUtf8() + '\n';
        }
        send(lines);
    } else {
        send(withText(id, "error", QStringLiteral("Unknown fake mode: ") + mode));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    const struct rlimit noCore {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(SIGPIPE, SIG_IGN);

    logPath = qgetenv("SORVANE_FAKE_AGENT_LOG");
    if (!logPath.isEmpty()) {
        terminationRecord = QJsonDocument(QJsonObject{{QStringLiteral("record"), QStringLiteral("terminated")},
                                                      {QStringLiteral("pid"), qint64(::getpid())}})
                                .toJson(QJsonDocument::Compact) +
                            '\n';
        ::signal(SIGTERM, onTermination);
    }

    QJsonArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QJsonObject environment;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const QString &name : system.keys())
        environment.insert(name, system.value(name));
    logRecord({{QStringLiteral("record"), QStringLiteral("start")},
               {QStringLiteral("arguments"), arguments},
               {QStringLiteral("environment"), environment},
               {QStringLiteral("processGroup"), qint64(::getpgrp())}});

    QByteArray buffer, line;
    while (readLine(buffer, line)) {
        const QJsonObject request = QJsonDocument::fromJson(line).object();
        const QString command = request.value(QStringLiteral("command")).toString();
        if (command == QLatin1String("forgetTurns") || command == QLatin1String("keepTurns")) {
            // Housekeeping of the session store: recorded, never answered.
            logRecord({{QStringLiteral("record"), QStringLiteral("turns")},
                       {QStringLiteral("line"), QString::fromUtf8(line)}});
            continue;
        }
        logRecord({{QStringLiteral("record"), QStringLiteral("request")},
                   {QStringLiteral("line"), QString::fromUtf8(line)}});
        serve(request, buffer);
    }
    logRecord({{QStringLiteral("record"), QStringLiteral("endOfInput")}});
    return 0;
}
