// The grants as the X11 session of scripts/test.sh has them.

#include "FakeAccessibility.h"
#include "FakeAudioInput.h"
#include "FakeWindowCapture.h"
#include "Platform/DesktopPermissionProbe.h"
#include "Platform/Multimedia/QtAudioInput.h"
#include "Platform/X11/X11WindowCapture.h"
#include "TestPaths.h"

#include <QGuiApplication>
#include <QTest>

using namespace sorvane;
using namespace sorvane::testing;

class PermissionProbeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!x11PlatformProvided())
            return;
    }

    void readsTheSessionsGrants()
    {
        FakeAccessibility accessibility;
        X11WindowCapture windowCapture;
        QtAudioInput audioInput;
        DesktopPermissionProbe probe(accessibility, windowCapture, audioInput);

        // The session's PulseAudio has a microphone, and Xvfb lets us grab.
        QVERIFY(probe.microphoneGranted());
        QVERIFY(probe.screenRecordingGranted());
        QVERIFY(probe.requestScreenRecording());

        accessibility.trusted = false;
        QVERIFY(!probe.accessibilityGranted());
        accessibility.trusted = true;
        QVERIFY(probe.accessibilityGranted());
    }

    void followsTheServicesItReads()
    {
        FakeAccessibility accessibility;
        FakeWindowCapture windowCapture;
        FakeAudioInput audioInput;
        DesktopPermissionProbe probe(accessibility, windowCapture, audioInput);

        audioInput.deviceExists = false;
        QVERIFY(!probe.microphoneGranted());
        QVERIFY(!probe.requestMicrophone());
        audioInput.deviceExists = true;
        QVERIFY(probe.microphoneGranted());

        // Asking for accessibility turns it on where the bus allows it.
        accessibility.trusted = false;
        accessibility.grantsTrust = true;
        QVERIFY(probe.requestAccessibility());
        QVERIFY(probe.accessibilityGranted());
    }
};

QTEST_MAIN(PermissionProbeTest)
#include "tst_permission_probe.moc"
