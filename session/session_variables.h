// The connections between the session and the variable store: the session's values that live in
// predefined variables (502, 505-509) while a database is loaded, the session's side of variable
// changes (505 the user-interface level, 524 the package folder) and the substitution of message
// texts.
#pragma once

// Installs the variable bridge, the variable store's session hooks and the message box's
// substitution hook; all of them act on SessionCurrent().
void SessionConnectVariables();
void SessionDisconnectVariables();
