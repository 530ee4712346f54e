#include "opftool/property_file_builder.h"

#include "propfile/property_file_layout.h"

namespace opftool {

namespace {

std::string StoredValue(const std::string& value) { return value + '\0'; }

}  // namespace

StorageNode BuildPropertyFile(const PropertyFileContent& content) {
    StorageNode header{propfile::kHeaderSection, std::nullopt, {}, {}};
    for (const auto& [key, value] : content.headers) {
        header.streams.emplace_back(key, StoredValue(value));
    }
    StorageNode section{propfile::kObjectPropertySection, content.clsid,
                        {{propfile::kContentsStream, content.contents}}, {}};
    StorageNode root;
    if (content.browserVersion) {
        root.streams.emplace_back(propfile::kBrowserVersionStream,
                                  StoredValue(*content.browserVersion));
    }
    root.storages = {std::move(header), std::move(section)};
    return root;
}

}  // namespace opftool
