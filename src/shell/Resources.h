#pragma once

/// Registers the images, skins and look-up lists compiled into the static
/// libraries. The linker would otherwise drop them, since no code names
/// them. Safe to call more than once.
void InitResources();
