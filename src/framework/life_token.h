// Calls out of the plug-in's own code can end the object that makes them: a
// control may pump messages or fire events, a page script may remove the
// embed, a modal dialog runs the browser's loop, and the browser may call
// NPP_Destroy from inside any of them. The rule for every such call: hold a
// reference to what the call itself needs (the control, the script object),
// take a LifeWatch of the object that makes the call before it, and touch
// that object again only if the watch still says alive() afterwards.
//
//     const fw::LifeWatch alive = life_.Watch();
//     control->Start();
//     if (!alive) return;  // the instance ended inside "Start"
#pragma once

#include <memory>

namespace fw {

class LifeWatch {
public:
    LifeWatch() = default;
    bool alive() const { return !token_.expired(); }
    explicit operator bool() const { return alive(); }

private:
    friend class LifeToken;
    explicit LifeWatch(std::weak_ptr<const char> token) : token_(std::move(token)) {}
    std::weak_ptr<const char> token_;
};

// A member of the object whose life others watch; it expires with the object.
// Neither copied nor moved: a copy would be a second life.
class LifeToken {
public:
    LifeToken() = default;
    LifeToken(const LifeToken&) = delete;
    LifeToken& operator=(const LifeToken&) = delete;
    LifeWatch Watch() const { return LifeWatch(token_); }

private:
    const std::shared_ptr<const char> token_ = std::make_shared<const char>(0);
};

}  // namespace fw
