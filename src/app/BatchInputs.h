#pragma once

#include "BatchOptions.h"
#include "shell/ListFileReader.h"

#include <QString>

#include <functional>
#include <vector>

class QIODevice;
class TerminalProgress;

// Reads the rows of quadrix-batch's inputs in command-line order: list files
// by the batch window's line rules, except that every input ends its lines
// (a final line end adds no row), standard input, addresses and the sample
// rows. An input that cannot be read is named to `problem` with its cause;
// the rows of the others are still read.
class BatchInputs final
{
public:
    using Problem = std::function<void(const QString& message)>;

    // `bar` may be null.
    BatchInputs(QIODevice& standardInput, TerminalProgress* bar, Problem problem);

    // No inputs: standard input alone.
    void read(const std::vector<BatchOptions::Input>& inputs, const RowSink& sink);

private:
    void readFile(const QString& path, const RowSink& sink);
    void readDevice(QIODevice& device, const QString& name, const RowSink& sink);

    QIODevice& m_standardInput;
    TerminalProgress* m_bar;
    Problem m_problem;
};
