#pragma once

#include "Platform/SystemLinks.h"

#include <QList>

namespace sorvane::testing {

// Remembers which settings pages were opened.
class FakeSystemLinks final : public SystemLinks {
public:
    QList<Page> opened;
    bool available = true;

    bool open(Page page) override
    {
        opened.append(page);
        return available;
    }
};

} // namespace sorvane::testing
