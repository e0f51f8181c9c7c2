#include "mobile/app/pages.h"

#include "mobile/media/ui/pictures_page.h"
#include "mobile/messages/ui/message_view.h"
#include "mobile/phonebook/core/phonebook_store.h"
#include "mobile/shell/core/connection.h"

namespace app {

// Each area's ui library exports a factory for its page(s); a page listed
// here replaces the frame's placeholder pane for its command.
std::vector<shellui::PageRegistration> AllPages()
{
    // One phonebook store for the program: the messages page names senders
    // and picks recipients from it.
    auto phonebookStore = std::make_shared<phonebook::PhonebookStore>();
    return {
        {shell::kCmdPictures, mediaui::MakePicturesPage},
        {32775, messagesui::MessagesPage(phonebookStore)},
    };
}

std::vector<shellui::CommandRegistration> AllCommands()
{
    return {};
}

}  // namespace app
