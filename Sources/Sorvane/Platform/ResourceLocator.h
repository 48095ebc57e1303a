#pragma once

#include <QString>
#include <optional>

namespace sorvane {

// Finds what ships with the program. The build tree is laid out like an install:
//   bin/sorvane, libexec/sorvane/<helper programs>, share/sorvane/<shipped files>
class ResourceLocator {
public:
    // A shipped file (the bundled speech model, sounds): share/sorvane/<name> beside
    // the program's prefix, else a compiled-in resource ":/sorvane/<name>".
    static std::optional<QString> file(const QString &name);

    enum class Search { Bundle, BundleThenPath };

    // A helper program, first hit wins:
    //  1. $SORVANE_<NAME>_PATH when set and not empty (returned unchecked),
    //  2. an executable <name> beside the running program,
    //  3. an executable <exe dir>/../libexec/sorvane/<name>,
    //  4. with BundleThenPath, an executable <name> on $PATH.
    static std::optional<QString> executable(const QString &name, Search search = Search::Bundle);

    // "SORVANE_" + name in upper case with "-" as "_" + "_PATH".
    static QString overrideVariable(const QString &name);

    // The folder of the running program.
    static QString executableDirectory();
};

} // namespace sorvane
