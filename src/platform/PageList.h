#pragma once
// The program's pages: every page object is held here from its load until its last handler has
// returned after it was unloaded.
#include <memory>
#include <vector>

namespace ta {

class Page;

// Pages that are loaded, oldest first.
std::vector<Page*> LoadedPages();
// Takes ownership of a new page and loads it.
void AdoptAndLoad(std::unique_ptr<Page> page);

// Creates and loads a page of class P; answers it.
template <typename P>
P& LoadPage() {
    auto page = std::make_unique<P>();
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
