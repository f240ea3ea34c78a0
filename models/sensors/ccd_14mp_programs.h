// The 1.4 MP CCD's timing programs: the first generation's short form (every value known) and
// long form, and the second generation's table before its timing block.
#pragma once

#include "models/sensors/ccd_program_builder.h"

namespace ccd_14mp {

inline constexpr std::array<FpgaPair, 108> kShortForm{
    {{127, 0},         {16, 1},        {kFpgaPause, 48}, {0, 4},          {127, 1},
     {0, 7413765},     {1, 622648},    {2, 360448},      {3, 184},        {4, 884856},
     {5, 360448},      {6, 184},       {7, 0},           {8, 0},          {9, 0},
     {10, 0},          {11, 0},        {112, 7413765},   {113, 622648},   {114, 3285240},
     {115, 753752},    {116, 0},       {117, 884856},    {118, 0},        {119, 753752},
     {120, 0},         {121, 0},       {122, 0},         {123, 0},        {124, 0},
     {125, 0},         {126, 0},       {128, 12},        {129, 4097},     {130, 7413760},
     {131, 0},         {132, 1605688}, {133, 0},         {134, 0},        {135, 229393},
     {136, 156},       {137, 4097},    {138, 7413760},   {139, 0},        {140, 1605688},
     {141, 0},         {142, 0},       {143, 229393},    {208, 64},       {209, 0},
     {210, 28678},     {211, 0},       {212, 7414812},   {213, 233920},   {214, 24582},
     {215, 0},         {127, 0},       {21, 1},          {kFpgaPause, 1}, {1, 159},
     {2, 0},           {3, 4},         {17, 1},          {18, 1},         {20, 0},
     {22, 1},          {24, 0},        {25, 0},          {26, 0},         {27, 2097152},
     {28, 0},          {33, 0},        {34, 115138},     {48, 0},         {49, 3329},
     {51, 2049},       {52, 0},        {53, 4681},       {54, 0},         {55, 320},
     {64, 0},          {65, 16777215}, {66, 16777215},   {80, 15},        {81, 3605280},
     {82, 3605280},    {83, 16777215}, {84, 16777215},   {98, 4098},      {100, 1},
     {101, 1294588},   {103, 0},       {104, 4096},      {105, 1},        {106, 0},
     {107, 0},         {108, 0},       {109, 1},         {110, 0},        {111, 0},
     {112, 0},         {113, 0},       {32, 1},          {17, 1},         {19, 1},
     {kFpgaPause, 48}, {19, 0},        {21, 1}}};
inline constexpr std::array<FpgaSpeedRule, 1> kShortSpeed{{{54, 40, 32}}};
inline constexpr std::array<FpgaSpeedRule, 1> kLongSpeed{{{55, 42, 34}}};

// The values of the long-form and second-generation runs are not known; every run
// register is 0 unless listed here, where the real values go.
inline constexpr std::array<FpgaPair, 1> kLongValues{{{56, 1062}}};
inline constexpr std::array<FpgaPair, 7> kSecondValues{
    {{1104, 1}, {1108, 1}, {1124, 1}, {1128, 1}, {1152, 1}, {34, 1}, {56, 1054}}};

using namespace ccd_programs;
inline constexpr auto kHead = longHead(1155, one(2176, 0), 4);
inline constexpr auto kLongForm = expand<189>(join(kHead, kLongTail), kLongValues);
inline constexpr auto kSecond = expand<184>(join(kHead, kSecondTail), kSecondValues);

}  // namespace ccd_14mp
