#pragma once

#include "Support/Result.h"

#include <QString>

namespace sorvane {

// Every on-disk location of the program, under $XDG_DATA_HOME/Sorvane.
// Each is derived from dataHome() when asked for, so a test that points
// $XDG_DATA_HOME at a temporary folder moves the whole tree.
class AppPaths {
public:
    static QString root();
    static QString models();
    static QString agentModels();
    static QString agentData();
    static QString agentAttachments();
    static QString agentConversations();
    static QString agentSessions();
    static QString customAgentModels();
    static QString recordings();
    static QString temporaryRecordings();
    static QString history();

    // Migrates the earlier product's folder, then creates the six working folders.
    // The first failure is returned and the remaining steps are skipped.
    static Result<Done, QString> prepare();

    // The folder that holds "Sorvane" and the earlier "Brivel Plus".
    static QString dataHome();

    // The migration on its own, from any earlier root into any root: a merge that
    // never overwrites what the destination has and treats symbolic links as leaves.
    static Result<Done, QString> migrate(const QString &legacyRoot, const QString &root);
};

} // namespace sorvane
