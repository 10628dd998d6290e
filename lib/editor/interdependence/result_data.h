#pragma once

namespace inas {

// The result of a combiner: the table data of one question. Subclasses hold
// it; the viewer takes it out after the analysis job has ended.
class ResultData
{
public:
    ResultData();
    virtual ~ResultData();
    ResultData(const ResultData &) = delete;
    ResultData &operator=(const ResultData &) = delete;
};

} // namespace inas
