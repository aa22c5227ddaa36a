// Building blocks shared by the per-model units (internal to the device layer).
#pragma once

#include <string_view>
#include <vector>

#include "device/device_description.h"

namespace ferrolad::device_tables {

TFieldDescr Row(int32_t paramIndex, int32_t dRegister, int32_t bitWidth, uint8_t functionCode,
                uint16_t address, uint8_t count, int32_t defaultValue, const char* name,
                const char* caption, const char* description, int32_t minValue, int32_t maxValue,
                int32_t flags, const char* trueText, const char* falseText);

// The settings every model shares (limits, registers, flags, errors, interruptions).
void SetCommonModelValues(TDeviceDescription& d);
// Parameter reads by name, then the breakpoint line and activity reads.
void BuildParameterReads(TDeviceDescription& d, const std::vector<std::string_view>& names);
// Status poll requests by name; building stops at the first unknown name.
void BuildStatusPolls(TDeviceDescription& d, const std::vector<std::string_view>& names);
void AppendStatusPolls(TDeviceDescription& d, const std::vector<std::string_view>& names);
// Value range of the named rows.
void SetRange(TDeviceDescription& d, const std::vector<std::string_view>& names, int32_t minValue,
              int32_t maxValue);
// Group names and current limits derived from the rows.
void FinishDescription(TDeviceDescription& d);

// The eight current rows whose range differs between models.
inline const std::vector<std::string_view> kCurrentRows = {
    "SET_RUN_CUR", "GET_RUN_CUR", "SET_HOLD_CUR", "GET_HOLD_CUR",
    "SET_ACC_CUR", "GET_ACC_CUR", "SET_DEC_CUR", "GET_DEC_CUR"};

TDeviceDescription BuildLira2Description();
TDeviceDescription BuildLira3Description(const TDeviceDescription& lira2);
TDeviceDescription BuildTarnDescription(const TDeviceDescription& lira3);
TDeviceDescription BuildObelDescription(const TDeviceDescription& tarn);

}  // namespace ferrolad::device_tables
