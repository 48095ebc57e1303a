// The Command conversations file, through the store. What loads is saved, loaded again
// and saved again to the same bytes.
#include "FuzzCheck.h"
#include "Services/Command/AgentConversationStore.h"

using namespace sorvane;
using namespace sorvane::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = storedFileOf(QStringLiteral("conversations.json"), data, size);
    const AgentConversationStore::Options options{path, scratchFolder().filePath(QStringLiteral("Attachments")),
                                                  fixedNow};

    AgentConversationStore store(options);
    if (store.conversations().isEmpty())
        return 0;
    for (const AgentConversation &conversation : store.conversations())
        for (const AgentMessage &message : conversation.messages)
            for (const AgentContextAttachment &attachment : message.attachments)
                if (const auto file = store.attachmentFile(attachment))
                    check(file->startsWith(store.attachmentsRoot()), "an attachment outside its folder is handed out");
    store.deleteConversation(QUuid()); // no such conversation: only writes the file
    const QByteArray saved = readAll(path);
    AgentConversationStore again(options);
    check(again.conversations().size() == store.conversations().size(), "saved conversations lose records");
    again.deleteConversation(QUuid());
    check(readAll(path) == saved, "saved conversations read back differently");
    return 0;
}
