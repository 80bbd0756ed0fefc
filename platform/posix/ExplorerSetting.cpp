// Reads and writes the "show hidden files" preference through GSettings.
#include "platform/posix/ExplorerSetting.h"

#include <gio/gio.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace platform {

struct ExplorerKeyObject {
    GSettings* settings = nullptr;
    std::string key;
};

namespace posix {
namespace {

constexpr std::uint32_t kShow = 1;
constexpr std::uint32_t kHide = 2;
constexpr std::uint32_t kValueSize = 4;

// Whether schema has key as a boolean. Asking GSettings for a key or a schema that is not
// there aborts the process, so everything is checked first.
bool HasBooleanKey(GSettingsSchema* schema, const char* key) {
    if (!g_settings_schema_has_key(schema, key)) {
        return false;
    }
    GSettingsSchemaKey* schemaKey = g_settings_schema_get_key(schema, key);
    // The type's own string; the G_VARIANT_TYPE_BOOLEAN macro is a C cast.
    const GVariantType* type = g_settings_schema_key_get_value_type(schemaKey);
    const bool bBoolean = std::string_view(g_variant_type_peek_string(type),
                                           g_variant_type_get_string_length(type)) == "b";
    g_settings_schema_key_unref(schemaKey);
    return bBoolean;
}

}  // namespace

ExplorerKey OpenHiddenSetting(const char* schemaId, const char* key) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        source != nullptr ? g_settings_schema_source_lookup(source, schemaId, TRUE) : nullptr;
    // A relocatable schema has no path of its own and cannot be opened without one.
    if (schema == nullptr || g_settings_schema_get_path(schema) == nullptr ||
        !HasBooleanKey(schema, key)) {
        if (schema != nullptr) {
            g_settings_schema_unref(schema);
        }
        errno = ENOENT;
        return nullptr;
    }
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    if (!g_settings_is_writable(settings, key)) {
        g_object_unref(settings);
        errno = EACCES;
        return nullptr;
    }
    return new ExplorerKeyObject{settings, key};
}

bool QueryHiddenSetting(ExplorerKey setting, std::uint32_t& value, std::uint32_t& size) {
    if (setting == nullptr) {
        errno = EBADF;
        return false;
    }
    if (size < kValueSize) {
        size = kValueSize;
        errno = EOVERFLOW;
        return false;
    }
    value = g_settings_get_boolean(setting->settings, setting->key.c_str()) ? kShow : kHide;
    size = kValueSize;
    return true;
}

bool SetHiddenSetting(ExplorerKey setting, std::uint32_t value, std::uint32_t size) {
    if (setting == nullptr) {
        errno = EBADF;
        return false;
    }
    if (size < kValueSize) {
        errno = EINVAL;
        return false;
    }
    if (!g_settings_set_boolean(setting->settings, setting->key.c_str(),
                                value == kShow ? TRUE : FALSE)) {
        errno = EACCES;
        return false;
    }
    g_settings_sync();
    return true;
}

void CloseHiddenSetting(ExplorerKey setting) {
    if (setting != nullptr) {
        g_object_unref(setting->settings);
        delete setting;
    }
}

}  // namespace posix
}  // namespace platform
