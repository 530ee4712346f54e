// The offers of missing controls, shared by every instance of the process:
// instances of one page that need the same control (class, version, file
// address) share one warning and one download, and an offer that ended
// without the control is not made again while an instance that saw it lives.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

namespace plugin {

class ControlWindow;

struct OfferKey {
    CLSID clsid = CLSID_NULL;
    std::string version;  // the product version the page asks for
    std::string fileUrl;  // the absolute address of the control file
    bool operator==(const OfferKey&) const = default;
};

class OfferBoard {
public:
    enum class Entry {
        First,    // no open offer: the window makes it, and completes it
        Joined,   // an offer is open: the window waits for its completion
        Ended,    // it ended without the control: the window stays empty
    };

    // Adds `window` (not owned) to the offer for `key`.
    Entry Enter(const OfferKey& key, ControlWindow* window);
    // The first window's offer for `key` ended: with the control installed in
    // the version asked for, or not. Windows still waiting are taken with
    // TakeWaiting after a success; after a failure they stay empty.
    void Complete(const OfferKey& key, bool installed);
    // One window still waiting for the installed offer `key`, no longer
    // waiting from now on; null when none is left.
    ControlWindow* TakeWaiting(const OfferKey& key);
    // A window that goes leaves every offer. An offer whose first window goes
    // before completing it ends for the others (its answer would go to the
    // gone instance); an offer without windows is forgotten.
    void Leave(ControlWindow* window);

    std::size_t size() const { return offers_.size(); }

private:
    enum class State { Open, Installed, Failed };
    struct Offer {
        OfferKey key;
        State state = State::Open;
        ControlWindow* first = nullptr;     // null once it went
        std::vector<ControlWindow*> members;  // every window that entered
        std::vector<ControlWindow*> waiting;  // joined, not yet activated
    };
    Offer* Find(const OfferKey& key);

    std::vector<Offer> offers_;
};

}  // namespace plugin
