#pragma once
// CVTND_Recovery: the copy of a modified project that a crash cannot take away. One designer at a time keeps it:
// the first takes an advisory lock beside the copy and holds it while it runs; a second designer keeps no copy, so
// it never offers or deletes a copy another designer is still writing.
#include <optional>
#include <string>

class CVTND_Recovery {
public:
    // path: where the copy goes; empty: $XDG_STATE_HOME/vortan/recovery.vtp (default ~/.local/state), or beside the
    // settings file when VORTAN_SETTINGS_FILE names one.
    explicit CVTND_Recovery(std::string path = {});
    ~CVTND_Recovery(); // the lock goes; the copy stays unless Delete ran
    CVTND_Recovery(const CVTND_Recovery&) = delete;
    CVTND_Recovery& operator=(const CVTND_Recovery&) = delete;

    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }
    bool IsOwner() const { return m_lockFd >= 0; } // this designer keeps the copy
    bool Exists() const;                           // a copy is there (ours, or one left behind)
    void Delete();                                 // nothing when we are not the owner
    // A copy that does not read is never deleted: it goes to a dated name beside it ("recovery-20261208-181500.vtp"),
    // so whatever a person may still get out of it stays. The new path; nullopt when we are not the owner or the
    // rename failed (the copy then stays where it is).
    std::optional<std::string> MoveAside();

private:
    std::string m_path;
    int m_lockFd = -1;
};
