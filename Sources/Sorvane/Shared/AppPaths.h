#pragma once

#include "Support/Result.h"

#include <QString>

namespace sorvane {

// Every on-disk location of the program, under $XDG_DATA_HOME/Sorvane (the settings
// under $XDG_CONFIG_HOME/Sorvane). Each is derived from dataHome() when asked for, so a
// test that points $XDG_DATA_HOME at a temporary folder moves the whole tree. Folders
// are made for their owner only (0700), as every file in them is (0600).
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
    // $XDG_CONFIG_HOME/Sorvane, the settings file's folder.
    static QString configRoot();

    // Migrates the earlier product's folder, then creates the six working folders
    // (0700, as are any missing parents). The first failure is returned and the
    // remaining steps are skipped.
    static Result<Done, QString> prepare();

    // Once at start, before any store is made: makes the data and settings folders and
    // every folder below them owner-only (0700) and every file 0600, and removes the
    // temporary copies a save that was cut short left beside our stored files
    // ("history.json.Ab12Cd"; only those names, only in our folders).
    static void secureAtStart();

    // Whether a file name is a temporary copy of one of our stored files.
    static bool isLeftOverSaveCopy(const QString &fileName);

    // Creates the folder and its missing parents for the owner only; false with errno
    // set when it cannot.
    static bool makePrivatePath(const QString &path);

    // The folder that holds "Sorvane" and the earlier "Brivel Plus".
    static QString dataHome();

    // The migration on its own, from any earlier root into any root: a merge that
    // never overwrites what the destination has and treats symbolic links as leaves.
    static Result<Done, QString> migrate(const QString &legacyRoot, const QString &root);
};

} // namespace sorvane
