// View commands of the browse window's file list: large icons, small icons, list, details,
// line up.

#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"

#include <views/browse/browsewindow.h>

#include <QListView>

namespace shell {

void registerViewCommands(CommandContext &context)
{
    using Style = views::BrowseWindow::ViewStyle;
    const std::pair<int, Style> styles[] = {
        {browsecmd::ViewLargeIcons, Style::Icons},
        {browsecmd::ViewSmallIcons, Style::SmallIcons},
        {browsecmd::ViewList, Style::List},
        {browsecmd::ViewDetails, Style::Details},
    };
    for (const auto &[id, style] : styles) {
        context.router.add(id, [&context, style = style] {
            if (views::BrowseWindow *w = context.browse())
                w->setViewStyle(style);
        });
    }
    context.router.add(browsecmd::LineUp, [&context] {
        if (views::BrowseWindow *w = context.browse())
            w->iconView()->doItemsLayout();
    });
}

} // namespace shell
