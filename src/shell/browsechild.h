#pragma once

// The browse window as the shell sees it: the views' window, answering the selection
// notions the commands read.

#include "shell/browseselection.h"

#include <views/browse/browsewindow.h>

namespace shell {

class BrowseChild : public views::BrowseWindow, public BrowseSelection
{
    Q_OBJECT
public:
    using views::BrowseWindow::BrowseWindow;

    const protocol::ServerProfile *selectedServer() const override
    {
        return views::BrowseWindow::selectedServer();
    }
    std::vector<SelectionNode> selectedChain() const override
    {
        return views::BrowseWindow::selectedChain();
    }
    std::vector<protocol::FileItem> selectedFiles() const override
    {
        return views::BrowseWindow::selectedFiles();
    }
    std::vector<protocol::ServerProfile> serverProfiles() const override
    {
        return views::BrowseWindow::serverProfiles();
    }
    void appendMessage(int image, const QString &text) override
    {
        views::BrowseWindow::appendMessage(image, text);
    }
};

} // namespace shell
