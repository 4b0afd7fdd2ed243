#pragma once
// CVTND_Recovery: the copy of a modified project that a crash cannot take away. One designer at a time keeps it:
// the first takes an advisory lock beside the copy and holds it while it runs; a second designer keeps no copy, so
// it never offers or deletes a copy another designer is still writing, and takes the lock over once it is free.
//
// A copy found when the lock is taken is an earlier run's: only the answer No to the offer deletes it. Until it is
// opened (Adopt) or deleted, Delete leaves it alone, and this designer's own first copy moves it aside rather than
// replace it. Beside the copy, "recovery.vtp.origin" names the project it was made from (a copy without it, as
// older designers left, is offered all the same).
#include <ctime>
#include <functional>
#include <memory>
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
    bool TakeOver();                               // the lock, once its holder let it go; true: this designer owns it
    bool Exists() const;                           // a copy is there (ours, or one left behind)
    bool HoldsEarlierCopy() const { return m_earlier; }
    void Adopt() { m_earlier = false; } // the earlier copy was opened: the work in it is this designer's now
    void Delete();                      // this designer's copy; nothing when not the owner or an earlier one stands
    void DeleteEarlier();               // the earlier copy, answered No

    // The project the copy was made from (empty: an untitled one, or a copy that does not say) and when it was
    // written.
    struct Origin {
        std::string project;
        std::optional<std::time_t> written;
    };
    Origin ReadOrigin() const;
    // Before this designer writes its copy to Path(): false, with outError the cause, when it is not the owner or an
    // earlier copy could not be moved aside (movedAside: where it went when it was).
    bool BeginWrite(std::string& outError, std::optional<std::string>* movedAside = nullptr);
    void Written(const std::string& origin); // the copy at Path() is whole, made from the project at origin
    // write (which makes the copy at Path(): false, with its error the cause) run on a thread of its own: a large
    // project's copy is written to the disk without holding the window. One at a time: BeginWrite, Delete and the
    // end wait for the one running; a copy written is Written(origin) as TakeBackground takes it.
    void WriteInBackground(std::function<bool(std::string& error)> write, std::string origin);
    struct BackgroundWrite {
        bool written = false;
        std::string error;
    };
    // How the background write ended, once it has (wait: waiting for it); none while it runs, or when none did.
    std::optional<BackgroundWrite> TakeBackground(bool wait);
    bool HasBackground() const { return m_background != nullptr; } // running, or ended and not taken

    // A copy that does not read is never deleted: it goes to a dated name beside it ("recovery-20261208-181500.vtp"),
    // so whatever a person may still get out of it stays. The new path; nullopt when we are not the owner or the
    // rename failed (the copy then stays where it is).
    std::optional<std::string> MoveAside();

private:
    std::string OriginPath() const { return m_path + ".origin"; }

    std::string m_path;
    int m_lockFd = -1;
    bool m_earlier = false;
    std::optional<std::string> m_originWritten; // what the origin file holds, as this designer last wrote it
    struct Background;
    std::unique_ptr<Background> m_background; // the write running, or ended and not taken
};
