#include "propfile/property_file_layout.h"

namespace propfile {

const HeaderField* FindHeaderField(const std::string& key) {
    for (const HeaderField& field : kHeaderFields) {
        if (key == field.key) return &field;
    }
    return nullptr;
}

}  // namespace propfile
