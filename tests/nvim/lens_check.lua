-- Neovim, headless, as flowchart lsp's client: the plugin opens a shipped
-- example, and what its own LSP client shows (lenses, diagnostics) and
-- the page the lens's command opens are written to a report.
-- Arguments (environment): FLOWCHART (the command), FLOWCHART_PLUGIN (the
-- plugin's folder), FLOWCHART_SOURCE (a Java file), FLOWCHART_REPORT.
vim.opt.runtimepath:append(os.getenv('FLOWCHART_PLUGIN'))
vim.cmd('filetype on')
local report = {}
local function finish()
  vim.fn.writefile(report, os.getenv('FLOWCHART_REPORT'))
  vim.cmd('qall!')
end
local opened = os.getenv('FLOWCHART_REPORT') .. '.opened'
require('flowchart').setup({
  cmd = { os.getenv('FLOWCHART'), 'lsp' },
  init_options = { maxCc = 5 },
  -- A stand-in browser: notes the page it is given.
  open = { 'sh', '-c', 'echo "$1" > "$0"', opened },
})
vim.cmd('edit ' .. vim.fn.fnameescape(os.getenv('FLOWCHART_SOURCE')))
local buffer = vim.api.nvim_get_current_buf()
local ok = vim.wait(15000, function()
  return #vim.lsp.codelens.get(buffer) > 0 and #vim.diagnostic.get(buffer) > 0
end, 50)
if not ok then
  table.insert(report, 'no lenses or diagnostics after 15 s')
  return finish()
end
for _, lens in ipairs(vim.lsp.codelens.get(buffer)) do
  table.insert(report, 'lens ' .. (lens.range.start.line + 1) .. ': ' .. lens.command.title)
end
for _, diagnostic in ipairs(vim.diagnostic.get(buffer)) do
  table.insert(report, 'diagnostic ' .. (diagnostic.lnum + 1) .. ': ' .. diagnostic.message)
end
-- The lens's own command, as :lua vim.lsp.codelens.run() runs it.
local lens = vim.lsp.codelens.get(buffer)[1]
vim.lsp.commands[lens.command.command](lens.command, { bufnr = buffer })
if vim.wait(15000, function() return vim.fn.filereadable(opened) == 1 end, 50) then
  local page = vim.fn.readfile(opened)[1]
  local first = vim.fn.readfile(page, '', 1)[1] or ''
  table.insert(report, 'opened ' .. vim.fn.fnamemodify(page, ':t') .. ': ' .. first)
else
  table.insert(report, 'no page opened')
end
finish()
