#include "Platform/ChildProcess.h"

#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>

namespace sorvane {

void endWithThisProgram(QProcess &process, int signal, void (*inChild)())
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent, signal, inChild] {
        ::prctl(PR_SET_PDEATHSIG, signal);
        // This program may have died between the fork and the line above; the child
        // then belongs to someone else already and would never get the signal.
        if (::getppid() != parent)
            ::_exit(127);
        if (inChild)
            inChild();
    });
}

const QStringList &providerVariables()
{
    static const QStringList variables{
        QStringLiteral("OPENAI_API_KEY"),    QStringLiteral("OPENAI_BASE_URL"),   QStringLiteral("OPENAI_ORG_ID"),
        QStringLiteral("OPENAI_ORGANIZATION"), QStringLiteral("OPENAI_PROJECT"),  QStringLiteral("OPENAI_PROJECT_ID"),
        QStringLiteral("GEMINI_API_KEY"),    QStringLiteral("GOOGLE_API_KEY"),    QStringLiteral("MISTRAL_API_KEY"),
    };
    return variables;
}

QProcessEnvironment childEnvironment(QProcessEnvironment environment)
{
    for (const QString &name : providerVariables())
        environment.remove(name);
    return environment;
}

bool startDetachedChild(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(childEnvironment());
    return process.startDetached();
}

} // namespace sorvane
