// Writing event lines: a reader that is behind is waited for, not taken for gone.

#include "SorvaneAgent/EventOutput.h"

#include <QTest>

#include <fcntl.h>
#include <thread>
#include <unistd.h>

using sorvane::agent::EventOutput;

class AgentEventOutputTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void waitsForAReaderThatIsBehind()
    {
        // An output that does not block, already full when a long event is written.
        int fds[2];
        QCOMPARE(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
        QCOMPARE(::fcntl(fds[0], F_SETFL, 0), 0); // the reader's end blocks
        const QByteArray filler(4096, 'x');
        QByteArray written;
        for (ssize_t count; (count = ::write(fds[1], filler.constData(), size_t(filler.size()))) > 0;)
            written += filler.left(count);
        QVERIFY(!written.isEmpty());

        QByteArray received;
        std::thread reader([&received, fd = fds[0]] {
            char chunk[8192];
            for (ssize_t count; (count = ::read(fd, chunk, sizeof chunk)) > 0;)
                received.append(chunk, count);
        });
        const QString id = QStringLiteral("8C1A4E0B-1111-4222-8333-944455556666");
        const QString text(300000, QLatin1Char('a'));
        EventOutput output(fds[1]);
        output.delta(id, text);
        const bool open = output.isOpen();
        ::close(fds[1]);
        reader.join();
        ::close(fds[0]);

        QVERIFY(open);
        QCOMPARE(received.size(), written.size() + EventOutput::encode(id, "delta", {}, text, {}).size());
        QCOMPARE(received, written + EventOutput::encode(id, "delta", {}, text, {}));
    }
};

QTEST_GUILESS_MAIN(AgentEventOutputTest)
#include "tst_agent_event_output.moc"
