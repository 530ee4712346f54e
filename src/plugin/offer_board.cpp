#include "plugin/offer_board.h"

#include <algorithm>

namespace plugin {

namespace {

template <typename T>
void EraseValue(std::vector<T>& values, const T& value) {
    values.erase(std::remove(values.begin(), values.end(), value), values.end());
}

}  // namespace

OfferBoard::Offer* OfferBoard::Find(const OfferKey& key) {
    const auto found = std::find_if(offers_.begin(), offers_.end(),
                                    [&](const Offer& offer) { return offer.key == key; });
    return found == offers_.end() ? nullptr : &*found;
}

OfferBoard::Entry OfferBoard::Enter(const OfferKey& key, ControlWindow* window) {
    Offer* offer = Find(key);
    if (!offer) {
        offers_.push_back(Offer{key, State::Open, window, {window}, {}});
        return Entry::First;
    }
    if (std::find(offer->members.begin(), offer->members.end(), window) == offer->members.end()) {
        offer->members.push_back(window);
    }
    // An installed offer that is entered again did not leave the control
    // the page asks for: it counts as ended.
    if (offer->state != State::Open) return Entry::Ended;
    offer->waiting.push_back(window);
    return Entry::Joined;
}

void OfferBoard::Complete(const OfferKey& key, bool installed) {
    Offer* offer = Find(key);
    if (!offer || offer->state != State::Open) return;
    offer->state = installed ? State::Installed : State::Failed;
    if (!installed) offer->waiting.clear();
}

ControlWindow* OfferBoard::TakeWaiting(const OfferKey& key) {
    Offer* offer = Find(key);
    if (!offer || offer->state != State::Installed || offer->waiting.empty()) return nullptr;
    ControlWindow* window = offer->waiting.front();
    offer->waiting.erase(offer->waiting.begin());
    return window;
}

void OfferBoard::Leave(ControlWindow* window) {
    for (Offer& offer : offers_) {
        EraseValue(offer.members, window);
        EraseValue(offer.waiting, window);
        if (offer.first != window) continue;
        offer.first = nullptr;
        if (offer.state == State::Open) {
            offer.state = State::Failed;
            offer.waiting.clear();
        }
    }
    offers_.erase(std::remove_if(offers_.begin(), offers_.end(),
                                 [](const Offer& offer) { return offer.members.empty(); }),
                  offers_.end());
}

}  // namespace plugin
