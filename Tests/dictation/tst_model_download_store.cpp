// The download bookkeeping both model stores publish.
#include "Services/Shared/ModelDownloadStore.h"

#include <QSignalSpy>
#include <QTest>

using namespace sorvane;

namespace {
// The bookkeeping alone, driven as a store drives it.
class Downloads : public ModelDownloadStore {
public:
    using ModelDownloadStore::beginDownload;
    using ModelDownloadStore::bumpRevision;
    using ModelDownloadStore::endDownload;
    using ModelDownloadStore::setDownloadProgress;
    bool isActive(const QString &id) const { return activeDownloads().contains(id); }
};
} // namespace

class ModelDownloadStoreTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void aDownloadFromStartToEnd()
    {
        Downloads downloads;
        QSignalSpy progress(&downloads, &ModelDownloadStore::progressChanged);
        QSignalSpy active(&downloads, &ModelDownloadStore::activeDownloadsChanged);
        downloads.beginDownload(QStringLiteral("b"));
        downloads.beginDownload(QStringLiteral("a"));
        QCOMPARE(downloads.activeDownloadList(), (QStringList{"a", "b"}));
        QCOMPARE(downloads.progressMap(), (QVariantMap{{"a", 0.0}, {"b", 0.0}}));

        downloads.setDownloadProgress(QStringLiteral("a"), 0.25);
        downloads.setDownloadProgress(QStringLiteral("b"), 1.5); // shown at most as done
        QCOMPARE(downloads.progress().value(QStringLiteral("a")), 0.25);
        QCOMPARE(downloads.progress().value(QStringLiteral("b")), 1.0);

        downloads.endDownload(QStringLiteral("a"));
        QVERIFY(!downloads.isActive(QStringLiteral("a")));
        QVERIFY(!downloads.progress().contains(QStringLiteral("a")));
        QCOMPARE(active.count(), 3);
        QCOMPARE(progress.count(), 5);
    }

    void aLateReportBringsNothingBack()
    {
        Downloads downloads;
        downloads.beginDownload(QStringLiteral("a"));
        downloads.endDownload(QStringLiteral("a"));
        QSignalSpy progress(&downloads, &ModelDownloadStore::progressChanged);
        QSignalSpy active(&downloads, &ModelDownloadStore::activeDownloadsChanged);
        downloads.setDownloadProgress(QStringLiteral("a"), 0.5);
        downloads.endDownload(QStringLiteral("a"));
        QVERIFY(downloads.progress().isEmpty());
        QCOMPARE(progress.count() + active.count(), 0);
    }

    void theRevisionOnlyGoesUp()
    {
        Downloads downloads;
        QSignalSpy revision(&downloads, &ModelDownloadStore::revisionChanged);
        downloads.bumpRevision();
        downloads.bumpRevision();
        QCOMPARE(downloads.revision(), 2);
        QCOMPARE(revision.count(), 2);
    }
};

QTEST_GUILESS_MAIN(ModelDownloadStoreTest)
#include "tst_model_download_store.moc"
