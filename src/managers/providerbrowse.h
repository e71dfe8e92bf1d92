#pragma once
// The provider windows: the "Provider of Service Browser" opened from the
// menu's "Provider Manager" (a list by name with a detail panel showing the
// whole highlighted provider), and the "MDN Browser", a select-only lookup
// of providers by number for the claim form.
//
// Providers are never deleted: the browse's &Delete, the Delete key and the
// popup's Delete do nothing. Add and Change run the provider record editor
// (providerform.h).
//
// Lookup: the caller puts the typed number into PRV.PRV, sets CallRequest to
// 4 and calls selectProvider(); the list opens at the first provider whose
// number is at or after it. On CallResponse 1 the chosen provider is in PRV;
// on 2 PRV holds the provider last highlighted.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/browsewindow.h"

#include <string>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& providerBrowse();
const shell::BrowseDefinition& providerLookup();

// BRW1::MAILTO of the provider in PRV: the name the billing address is
// headed by, the group name when the provider bills under it, otherwise
// the provider's own (29 characters, Windows-1252).
std::string providerMailTo();

// The menu's "Provider Manager": the browse with its detail panel, as a
// child window of the frame.
QMdiSubWindow* openProviderManager(QMdiArea* area);

// The "MDN Browser" in Select mode, modal to `parent`; returns CallResponse.
shell::Response selectProvider(QWidget* parent = nullptr);

} // namespace kestrel::managers
