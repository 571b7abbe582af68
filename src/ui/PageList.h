#pragma once
// The program's pages: every page object is held here from its load until its last handler has
// returned after it was unloaded.
#include <memory>
#include <utility>
#include <vector>

namespace ta {

class Page;

// Pages that are loaded, oldest first.
std::vector<Page*> LoadedPages();
// Takes ownership of a new page and loads it.
void AdoptAndLoad(std::unique_ptr<Page> page);

// Creates a page of class P from the arguments and loads it; answers it.
template <typename P, typename... Args>
P& LoadPage(Args&&... args) {
    auto page = std::make_unique<P>(std::forward<Args>(args)...);
    P& ref = *page;
    AdoptAndLoad(std::move(page));
    return ref;
}

// The loaded page of class P, or nullptr.
template <typename P>
P* FindPage() {
    for (Page* page : LoadedPages())
        if (auto* p = dynamic_cast<P*>(page)) return p;
    return nullptr;
}

}  // namespace ta
