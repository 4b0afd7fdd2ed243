#pragma once
// The dialogs of publishing: CVTND_PublishDlg, where the author picks the compression scheme of every object
// (tabs object motion, node motion, sound, geometry) and whether the HTML page is written, and CVTND_WaitDlg, the
// modal wait while the worker writes, with an animated picture, the writer's step in words and a progress bar.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/resources/compression_scheme.h"
#include "platform/ui/dialog/dialog.h"

class CVTN_Container;
class CVTN_SyncEvent;
class CVTND_Project;
class SaveWorkerThread;
class SWworld;

inline constexpr int32_t kIddPublish = 26000;
inline constexpr int32_t kIddPublishWait = 26001;
// Controls of the publish dialog.
inline constexpr int32_t kIdcPublishTabs = 26010;
inline constexpr int32_t kIdcPublishList = 26011;
inline constexpr int32_t kIdcPublishScheme = 26012;
inline constexpr int32_t kIdcPublishNote = 26013;
inline constexpr int32_t kIdcPublishHtml = 26014;
inline constexpr int32_t kIdcPublishHtmlNote = 26015;
inline constexpr int32_t kIdcPublishSchemeLabel = 26016;
// Controls of the wait dialog.
inline constexpr int32_t kIdcWaitText = 26020;
inline constexpr int32_t kIdcWaitBar = 26021;

// The tabs, in order; the first four list the objects of a scheme kind.
enum class PublishTab : int32_t { kObjectMotion, kNodeMotion, kSound, kGeometry, kHtml };

class CVTND_PublishDlg final : public pf::Dialog {
public:
    // One object whose scheme can be chosen: a sound or a mesh (through its scheme choice), a node's key frames or a
    // mesh node's vertex streams (through the node's scheme id).
    struct Entry {
        std::string name;
        SchemeKind kind = SchemeKind::kSound;
        CVTN_Container* object = nullptr; // the sound, mesh or node
        const SWcompressionscheme* row = nullptr;
        int32_t quality = -1; // a sound's quality percent; -1 for the other kinds
        uint32_t word = 0;    // what the world writer tells the row of a mesh (its drawer's vertex frames)
    };

    // Reads the world's objects and their rows now; the caller holds the world's lock or keeps the render thread
    // from changing the lists. width x height: the page's player size, shown on the HTML tab.
    CVTND_PublishDlg(SWworld& world, CVTND_Project& project, int32_t width, int32_t height);
    int32_t Run(pf::Window& owner); // IDOK: the choices and the page option are stored (under the world's lock)

    const std::vector<Entry>& Entries() const { return m_entries; }
    static SchemeKind KindOf(PublishTab tab);

protected:
    bool onInitDialog() override;
    void onOK() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void ShowTab(PublishTab tab);
    void SelectRow(int32_t item);
    void ChooseScheme(int32_t comboIndex);
    void RefreshRow(int32_t item);
    std::string NoteOf(const Entry& entry) const;

    SWworld& m_world;
    CVTND_Project& m_project;
    int32_t m_width;
    int32_t m_height;
    std::vector<Entry> m_entries;
    std::vector<const SWcompressionscheme*> m_shownRows; // each entry's row as the dialog opened
    std::vector<size_t> m_shown;                         // entries of the tab shown, by list item
    PublishTab m_tab = PublishTab::kObjectMotion;
    int32_t m_selected = -1;
};

// Polls the save-finished event every 33 ms with a window timer, animating its picture and moving its bar from
// the worker's figures; ends (IDOK) once the event is set. It has no button: the write is not stopped halfway.
class CVTND_WaitDlg final : public pf::Dialog {
public:
    static constexpr uint32_t kPollMs = 33;
    CVTND_WaitDlg(CVTN_SyncEvent& finished, const SaveWorkerThread* worker) : m_finished(finished), m_worker(worker) {}
    int32_t Run(pf::Window& owner);
    uint32_t Polls() const { return m_polls; }
    // The bar's words for a step of the writer: "Writing meshes: 12 of 40".
    static std::string StepText(const char* section, uint32_t done, uint32_t total);

protected:
    bool onInitDialog() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Poll();
    void PaintPicture();

    CVTN_SyncEvent& m_finished;
    const SaveWorkerThread* m_worker; // may be null: nothing to show but the picture
    uint32_t m_polls = 0;
};
