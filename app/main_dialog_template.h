#pragma once
// The main dialog's layout (template 102).

#include "ui/dialog_template.h"

const ui::DialogTemplate& MainDialogTemplate();
