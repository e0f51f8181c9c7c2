#include "mobile/app/pages.h"
#include "mobile/backup/ui/back_restore_sheet.h"

#include "mobile/media/ui/pictures_page.h"
#include "mobile/messages/ui/message_view.h"
#include "mobile/phonebook/ui/phonebook_view.h"
#include "mobile/media/ui/video_view.h"
#include "mobile/shell/core/connection.h"
#include "mobile/media/ui/midi_views.h"

namespace app {

// Each area's ui library exports a factory for its page(s); a page listed
// here replaces the frame's placeholder pane for its command.
std::vector<shellui::PageRegistration> AllPages()
{
    // One phonebook store for the program: the phonebook page edits it, and
    // the messages page names senders and picks recipients from it.
    auto phonebookStore = std::make_shared<phonebook::PhonebookStore>();
    std::vector<shellui::PageRegistration> pages = {
        {shell::kCmdPictures, mediaui::MakePicturesPage},
        {shell::kCmdPhonebook, phonebookui::PhonebookPage(phonebookStore)},
        {32775, messagesui::MessagesPage(phonebookStore)},
        {shell::kCmdVideo, mediaui::MakeVideoPage},
    };
    for (auto& page : mediaui::SoundPages())
        pages.push_back(std::move(page));
    return pages;
}

std::vector<shellui::CommandRegistration> AllCommands()
{
    return {backupui::BackRestoreCommand()};
}

}  // namespace app
