#pragma once

#include "Platform/PermissionProbe.h"

#include <QStringList>

namespace sorvane::testing {

// Grants set by the test; a request answers with what `grantOnRequest` says.
class FakePermissionProbe final : public PermissionProbe {
public:
    bool microphone = true;
    bool accessibility = true;
    bool screenRecording = true;
    bool grantOnRequest = false;
    QStringList calls;

    bool microphoneGranted() override { return record("read microphone", microphone); }
    bool accessibilityGranted() override { return record("read accessibility", accessibility); }
    bool screenRecordingGranted() override { return record("read screenRecording", screenRecording); }

    bool requestMicrophone() override { return grant("request microphone", microphone); }
    bool requestAccessibility() override { return grant("request accessibility", accessibility); }
    bool requestScreenRecording() override { return grant("request screenRecording", screenRecording); }

private:
    bool record(const char *call, bool answer)
    {
        calls.append(QString::fromLatin1(call));
        return answer;
    }
    bool grant(const char *call, bool &flag)
    {
        calls.append(QString::fromLatin1(call));
        flag = flag || grantOnRequest;
        return flag;
    }
};

} // namespace sorvane::testing
