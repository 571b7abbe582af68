#include "ui/PageList.h"

#include <algorithm>

#include "ui/Page.h"

namespace ta {
namespace {

// Every page object, loaded or waiting for its last handler to return.
std::vector<std::unique_ptr<Page>>& AllPages() {
    static std::vector<std::unique_ptr<Page>> pages;
    return pages;
}

}  // namespace

std::vector<Page*> LoadedPages() {
    std::vector<Page*> pages;
    for (const auto& page : AllPages())
        if (page->IsLoaded()) pages.push_back(page.get());
    return pages;
}

void AdoptAndLoad(std::unique_ptr<Page> page) {
    Page& ref = *page;
    AllPages().push_back(std::move(page));
    ref.Load();
}

void Page::LeaveHandler() {
    if (--handlerDepth_ > 0 || state_ != State::Unloaded) return;
    // No handler of this page runs any more: release it.
    auto& pages = AllPages();
    auto it = std::find_if(pages.begin(), pages.end(), [this](const auto& p) { return p.get() == this; });
    if (it != pages.end()) {
        std::unique_ptr<Page> self = std::move(*it);
        pages.erase(it);
        // self goes out of scope here and deletes this page; nothing touches it afterwards.
    }
}

}  // namespace ta
