#pragma once

namespace editing {

void registerClipboardCommands();
void registerTextSizeCommands();

} // namespace editing
