#include "core/App.h"

#include "forms/Forms.h"

App::App(std::unique_ptr<Dialogs> dialogs)
    : rt(createForm, std::move(dialogs))
{
}
