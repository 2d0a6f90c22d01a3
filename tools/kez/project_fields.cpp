#include "tools/kez/project_fields.h"

#include <cstring>

namespace {

constexpr uint32_t kAny = 0;

// One row per named slot, grouped by class; the slot numbers are those of the class table.
const ProjectFieldName kFieldNames[] = {
    // aseq: action sequence
    {TagOf("aseq"), "name", 8, kAny},
    {TagOf("aseq"), "actions", 9, TagOf("a000")},
    {TagOf("aseq"), "flags", 11, kAny},
    {TagOf("aseq"), "event_key", 11, kAny},  // the same slot: the key of a dialog's event sequence

    // a000: every action
    {TagOf("a000"), "flags", 8, kAny},
    {TagOf("a000"), "architecture_mask", 9, kAny},
    {TagOf("a000"), "capability_mask", 10, kAny},
    {TagOf("a000"), "capability_match", 11, kAny},
    {TagOf("a000"), "progress_text_id", 12, kAny},
    {TagOf("a000"), "name", 14, kAny},
    {TagOf("a000"), "condition", 15, kAny},
    {TagOf("a000"), "description", 16, kAny},
    {TagOf("a000"), "confirmation", 19, kAny},

    // a001 run a sequence, a002 transfer to a sequence, a006 go to an action
    {TagOf("a001"), "sequence", 22, TagOf("aseq")},
    {TagOf("a002"), "sequence", 22, TagOf("aseq")},
    {TagOf("a006"), "action", 22, TagOf("a000")},

    // a200 message box, a201 run dialog, a202 end dialog, a207 set option state, a212 file dialog,
    // a213 set variable, a214 file search
    {TagOf("a200"), "style", 22, kAny},
    {TagOf("a200"), "timeout", 23, kAny},
    {TagOf("a200"), "parameter", 24, kAny},
    {TagOf("a201"), "dialog", 22, TagOf("dlg ")},
    {TagOf("a201"), "options", 24, kAny},
    {TagOf("a202"), "dialog", 22, TagOf("dlg ")},
    {TagOf("a202"), "end_code", 24, kAny},
    {TagOf("a203"), "target", 22, kAny},
    {TagOf("a203"), "text", 24, kAny},
    {TagOf("a203"), "operation", 27, kAny},
    {TagOf("a203"), "value", 28, kAny},
    {TagOf("a207"), "option", 22, kAny},
    {TagOf("a207"), "request", 23, kAny},
    {TagOf("a212"), "filter", 22, kAny},
    {TagOf("a212"), "default_name", 25, kAny},
    {TagOf("a212"), "mode", 28, kAny},
    {TagOf("a212"), "dialog_flags", 29, kAny},
    {TagOf("a212"), "variable", 30, kAny},
    {TagOf("a213"), "variable", 22, kAny},
    {TagOf("a213"), "value", 23, kAny},
    {TagOf("a214"), "options", 22, kAny},
    {TagOf("a214"), "variable", 23, kAny},
    {TagOf("a214"), "file_name", 24, kAny},
    {TagOf("a214"), "folders", 27, kAny},

    // inst: the installation record
    {TagOf("inst"), "first_sequence", 8, TagOf("aseq")},
    {TagOf("inst"), "second_sequence", 10, TagOf("aseq")},
    {TagOf("inst"), "flags", 12, kAny},
    {TagOf("inst"), "restart_mode", 13, kAny},
    {TagOf("inst"), "abort_mask", 14, kAny},
    {TagOf("inst"), "redirection_mask", 15, kAny},
    {TagOf("inst"), "product", 20, kAny},
    {TagOf("inst"), "download_address", 21, kAny},
    {TagOf("inst"), "main_package_path", 22, kAny},
    {TagOf("inst"), "options", 23, TagOf("cmp9")},
    {TagOf("inst"), "scope", 25, kAny},
    {TagOf("inst"), "version_high", 26, kAny},
    {TagOf("inst"), "version_low", 27, kAny},

    // symb: variable
    {TagOf("symb"), "variable_id", 8, kAny},
    {TagOf("symb"), "flags", 9, kAny},
    {TagOf("symb"), "value", 10, kAny},
    {TagOf("symb"), "second_value", 13, kAny},
    {TagOf("symb"), "name", 16, kAny},

    // lang: language
    {TagOf("lang"), "language", 8, kAny},
    {TagOf("lang"), "flags", 9, kAny},

    // stof: support file
    {TagOf("stof"), "name", 8, kAny},
    {TagOf("stof"), "path", 9, kAny},

    // cmp9: option
    {TagOf("cmp9"), "name", 8, kAny},
    {TagOf("cmp9"), "variable", 9, kAny},
    {TagOf("cmp9"), "condition", 10, kAny},
    {TagOf("cmp9"), "package_path", 11, kAny},
    {TagOf("cmp9"), "title", 12, kAny},
    {TagOf("cmp9"), "description", 15, kAny},
    {TagOf("cmp9"), "children", 18, TagOf("cmp9")},
    {TagOf("cmp9"), "languages", 20, kAny},
    {TagOf("cmp9"), "flags", 22, kAny},
    {TagOf("cmp9"), "architecture_mask", 23, kAny},
    {TagOf("cmp9"), "capability_mask", 24, kAny},
    {TagOf("cmp9"), "capability_match", 25, kAny},
    {TagOf("cmp9"), "install_size", 26, kAny},
    {TagOf("cmp9"), "removal_size", 28, kAny},
    {TagOf("cmp9"), "state_if_false", 30, kAny},
    {TagOf("cmp9"), "state_if_true", 31, kAny},
    {TagOf("cmp9"), "selection_state", 32, kAny},
    {TagOf("cmp9"), "installed_state", 33, kAny},

    // insi: everything that is installed
    {TagOf("insi"), "options", 8, TagOf("cmp9")},
    {TagOf("insi"), "install_mode", 10, kAny},
    {TagOf("insi"), "removal_mode", 11, kAny},
    {TagOf("insi"), "installed_state", 12, kAny},
    {TagOf("insi"), "item_flags", 13, kAny},

    // fldr: folder
    {TagOf("fldr"), "parent", 16, TagOf("fldr")},
    {TagOf("fldr"), "variable", 18, kAny},
    {TagOf("fldr"), "path", 19, kAny},
    {TagOf("fldr"), "source_folder", 20, kAny},
    {TagOf("fldr"), "folder_flags", 21, kAny},

    // file
    {TagOf("file"), "folder", 16, TagOf("fldr")},
    {TagOf("file"), "journal_link", 18, TagOf("fsta")},
    {TagOf("file"), "size", 20, kAny},
    {TagOf("file"), "attributes", 22, kAny},
    {TagOf("file"), "file_flags", 23, kAny},
    {TagOf("file"), "name", 26, kAny},
    {TagOf("file"), "key", 29, kAny},  // the name `<#Key>` looks up; the file list is sorted by it
    {TagOf("file"), "target_path", 30, kAny},
    {TagOf("file"), "backup_path", 31, kAny},
    {TagOf("file"), "source_name", 32, kAny},
    {TagOf("file"), "creation_time", 36, kAny},
    {TagOf("file"), "last_write_time", 38, kAny},
    {TagOf("file"), "product_version", 40, kAny},
    {TagOf("file"), "file_version", 42, kAny},

    // regk: registry key; sysx: every setting (registry value, INI value, environment variable);
    // regv: registry value
    {TagOf("regk"), "variable", 16, kAny},
    {TagOf("regk"), "key_path", 17, kAny},
    {TagOf("regk"), "view", 18, kAny},
    {TagOf("regk"), "actual_view", 19, kAny},
    {TagOf("sysx"), "setting_flags", 16, kAny},
    {TagOf("sysx"), "separator", 17, kAny},
    {TagOf("sysx"), "name", 18, kAny},
    {TagOf("sysx"), "data", 21, kAny},
    {TagOf("sysx"), "saved_value", 24, kAny},
    {TagOf("regv"), "key", 28, TagOf("regk")},
    {TagOf("regv"), "value_type", 30, kAny},
    {TagOf("regv"), "previous_type", 31, kAny},

    // shct: shortcut
    {TagOf("shct"), "folder", 16, TagOf("fldr")},
    {TagOf("shct"), "icon_file", 18, TagOf("file")},
    {TagOf("shct"), "name", 20, kAny},
    {TagOf("shct"), "description", 23, kAny},
    {TagOf("shct"), "arguments", 26, kAny},
    {TagOf("shct"), "target", 29, kAny},
    {TagOf("shct"), "working_folder", 30, kAny},
    {TagOf("shct"), "shortcut_path", 31, kAny},
    {TagOf("shct"), "icon_index", 32, kAny},
    {TagOf("shct"), "show_command", 33, kAny},
    {TagOf("shct"), "shortcut_flags", 34, kAny},

    // dlg: dialog; c000: every control, and the controls with fields of their own
    {TagOf("dlg "), "controls", 8, TagOf("c000")},
    {TagOf("dlg "), "events", 10, TagOf("aseq")},
    {TagOf("dlg "), "template", 12, kAny},
    {TagOf("dlg "), "placement", 13, kAny},
    {TagOf("c000"), "control_id", 8, kAny},
    {TagOf("c000"), "flags", 9, kAny},
    {TagOf("c000"), "variable", 10, kAny},
    {TagOf("c000"), "condition", 11, kAny},
    {TagOf("c003"), "option", 14, TagOf("cmp9")},
    {TagOf("c003"), "checked_value", 16, kAny},
    {TagOf("c003"), "unchecked_value", 17, kAny},
    {TagOf("c005"), "values", 14, kAny},
    {TagOf("c006"), "values", 14, kAny},
    {TagOf("c009"), "option", 14, TagOf("cmp9")},
    {TagOf("c009"), "value", 16, kAny},
    {TagOf("c010"), "display", 14, kAny},
    {TagOf("c016"), "text_resource", 14, kAny},

    // Reference fields without a name of their own.
    {TagOf("pres"), nullptr, 8, TagOf("preh")},
};

template <typename Match>
const ProjectFieldName* FindInChain(const ClassDescriptor* cls, Match match) {
  for (; cls; cls = cls->parent)
    for (const ProjectFieldName& row : kFieldNames)
      if (row.tag == cls->tag && match(row)) return &row;
  return nullptr;
}

}  // namespace

const ProjectFieldName* ProjectFieldByName(const ClassDescriptor* cls, const char* name) {
  return FindInChain(cls, [name](const ProjectFieldName& row) { return row.name && strcmp(row.name, name) == 0; });
}

const ProjectFieldName* ProjectFieldBySlot(const ClassDescriptor* cls, unsigned slot) {
  return FindInChain(cls, [slot](const ProjectFieldName& row) { return row.slot == slot; });
}
