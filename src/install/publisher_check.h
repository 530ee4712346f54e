// The check between the expansion of a downloaded control file and its
// placement: who signed it, what the administrator requires, and, for a file
// nobody trusted signed, the user's second answer.
#pragma once

#include <string>

namespace install {

struct PublisherDecision {
    enum class Kind {
        Place,     // trusted, or accepted by the user at the second warning
        Refused,   // tampered, or unsigned/untrusted where the policy requires a trusted publisher
        Declined,  // unsigned/untrusted, and the user said No (or no dialog came up)
    };
    Kind kind = Kind::Refused;
    // A trusted signer's name, to record with the placed file; "" otherwise.
    std::wstring publisher;
    // The outcome's one status line: for Place, the line to show once the
    // control is installed; otherwise the line to show now.
    std::string statusLine;
};

// Judges the expanded file at `path` (full UTF-16 path), downloaded from
// `address`. Unsigned and untrusted files are asked about in the publisher
// warning unless the policy refuses them. The warning runs a modal loop in
// which the browser may end the caller: the caller takes a LifeWatch
// before and touches nothing of itself when it expired.
PublisherDecision VerifyExpandedControl(const std::wstring& path, const std::string& address);

}  // namespace install
