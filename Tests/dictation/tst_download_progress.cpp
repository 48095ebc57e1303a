// The download bookkeeping both model stores publish.
#include "Services/DownloadProgress.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;

class DownloadProgressTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aDownloadFromStartToEnd()
    {
        DownloadProgress downloads;
        QSignalSpy progress(&downloads, &DownloadProgress::progressChanged);
        QSignalSpy active(&downloads, &DownloadProgress::activeDownloadsChanged);
        downloads.begin(QStringLiteral("b"));
        downloads.begin(QStringLiteral("a"));
        QCOMPARE(downloads.activeDownloadList(), (QStringList{"a", "b"}));
        QCOMPARE(downloads.progressMap(), (QVariantMap{{"a", 0.0}, {"b", 0.0}}));

        downloads.setProgress(QStringLiteral("a"), 0.25);
        downloads.setProgress(QStringLiteral("b"), 1.5); // shown at most as done
        QCOMPARE(downloads.progress().value(QStringLiteral("a")), 0.25);
        QCOMPARE(downloads.progress().value(QStringLiteral("b")), 1.0);

        downloads.end(QStringLiteral("a"));
        QVERIFY(!downloads.isActive(QStringLiteral("a")));
        QVERIFY(!downloads.progress().contains(QStringLiteral("a")));
        QCOMPARE(active.count(), 3);
        QCOMPARE(progress.count(), 5);
    }

    void aLateReportBringsNothingBack()
    {
        DownloadProgress downloads;
        downloads.begin(QStringLiteral("a"));
        downloads.end(QStringLiteral("a"));
        QSignalSpy progress(&downloads, &DownloadProgress::progressChanged);
        QSignalSpy active(&downloads, &DownloadProgress::activeDownloadsChanged);
        downloads.setProgress(QStringLiteral("a"), 0.5);
        downloads.end(QStringLiteral("a"));
        QVERIFY(downloads.progress().isEmpty());
        QCOMPARE(progress.count() + active.count(), 0);
    }

    void theRevisionOnlyGoesUp()
    {
        DownloadProgress downloads;
        QSignalSpy revision(&downloads, &DownloadProgress::revisionChanged);
        downloads.bumpRevision();
        downloads.bumpRevision();
        QCOMPARE(downloads.revision(), 2);
        QCOMPARE(revision.count(), 2);
    }
};

QTEST_GUILESS_MAIN(DownloadProgressTest)
#include "tst_download_progress.moc"
