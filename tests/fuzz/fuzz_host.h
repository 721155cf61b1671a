#pragma once
// The trap host of the fuzz targets: every error is answered Ignore and nothing
// is written to disk, so a run can take millions of inputs.
namespace zarn::fuzz {
void InstallIgnoringTrapHost();
}
