#pragma once

// Names shared by the editor and its browser module for the pages of local
// folders (see BrowserControl): the address scheme, and the path at which
// the module hands over a form's POST (the engine gives a scheme handler
// no request body, so the module's page script carries it in the address).
namespace platform {
inline constexpr char kLocalScheme[] = "quilex-site";
inline constexpr char kLocalPostPath[] = "/.quilex-post";
} // namespace platform
