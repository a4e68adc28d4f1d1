#pragma once

#include <set>
#include <string>
#include <string_view>

namespace kavu::ui {

enum class Permission { ReadFiles, ReadImages, WriteDocument, RecordAudio, RecordVideo, CaptureScreen };

// What the running application may do. A permissive context grants
// everything; a restricted one only what was granted.
class PermissionContext {
public:
    static PermissionContext permissive() { return PermissionContext(true); }
    static PermissionContext restricted() { return PermissionContext(false); }

    // True when granted.
    bool check(Permission permission) const {
        return m_all ? m_denied.count(permission) == 0 : m_granted.count(permission) > 0;
    }
    void grant(Permission permission) {
        m_granted.insert(permission);
        m_denied.erase(permission);
    }
    void revoke(Permission permission) {
        m_granted.erase(permission);
        m_denied.insert(permission);
    }

private:
    explicit PermissionContext(bool all) : m_all(all) {}
    bool m_all = false;
    std::set<Permission> m_granted;
    std::set<Permission> m_denied;
};

} // namespace kavu::ui
