#pragma once
// The shell, file and process helpers every window uses, in one include.

#include "core/ApplicationTitle.h"
#include "core/CheckOnline.h"
#include "core/FileTests.h"
#include "core/FolderPaths.h"
#include "core/RunCaptured.h"
#include "core/Skin.h"
#include "core/TextFiles.h"
