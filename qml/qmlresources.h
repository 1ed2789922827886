#pragma once

// The screens, images and keys are compiled into this static library; the program and the
// tests call this once so the linker keeps them and Qt registers them.
void initQmlResources();
