-- flowchart in Neovim (0.7 and later): starts `flowchart lsp` for Java
-- buffers through Neovim's own LSP client, so that its lenses (each
-- method's measures) and diagnostics (methods over the thresholds) show,
-- and opens a method's flowchart page in the browser.
local M = {}

M.config = {
  cmd = { 'flowchart', 'lsp' },
  -- The thresholds and Java release: maxCc, maxCognitive, maxNloc, java.
  init_options = {},
  -- The program a page is opened with, given the page's path.
  open = { 'xdg-open' },
  -- Lenses are asked for again on these events.
  refresh_events = { 'BufEnter', 'InsertLeave', 'TextChanged' },
}

local client_id = nil

local function start_client()
  if client_id and vim.lsp.get_client_by_id(client_id) then
    return client_id
  end
  client_id = vim.lsp.start_client({
    name = 'flowchart',
    cmd = M.config.cmd,
    root_dir = vim.fn.getcwd(),
    init_options = M.config.init_options,
    -- Lenses are asked for once the server has the buffer: Neovim 0.7
    -- never asks again for a buffer whose first request found no server.
    on_attach = function(_, buffer)
      vim.b[buffer].flowchart_attached = true
      vim.api.nvim_buf_call(buffer, vim.lsp.codelens.refresh)
    end,
  })
  return client_id
end

-- Attaches the server to a Java buffer and keeps its lenses fresh.
function M.attach(buffer)
  local id = start_client()
  if not id then
    vim.notify('flowchart: cannot start ' .. table.concat(M.config.cmd, ' '), vim.log.levels.ERROR)
    return
  end
  vim.lsp.buf_attach_client(buffer, id)
  vim.api.nvim_create_autocmd(M.config.refresh_events, {
    buffer = buffer,
    callback = function()
      if vim.b[buffer].flowchart_attached then
        vim.lsp.codelens.refresh()
      end
    end,
  })
end

local function client()
  return client_id and vim.lsp.get_client_by_id(client_id)
end

local function run(args, done)
  local output = {}
  local job = vim.fn.jobstart(args, {
    stderr_buffered = true,
    on_stderr = function(_, lines)
      output = lines
    end,
    on_exit = function(_, status)
      if status ~= 0 then
        vim.notify('flowchart: ' .. table.concat(output, '\n'), vim.log.levels.ERROR)
      elseif done then
        done()
      end
    end,
  })
  if job <= 0 then
    vim.notify('flowchart: cannot run ' .. args[1], vim.log.levels.ERROR)
  end
end

-- Draws the method at a line (0-based) of a buffer as its HTML page, from
-- the buffer's text, and opens it.  kind: 'flowchart' or 'sequence'.
function M.open(buffer, line, kind)
  local lsp_client = client()
  if not lsp_client then
    vim.notify('flowchart: the server is not running', vim.log.levels.ERROR)
    return
  end
  local uri = vim.uri_from_bufnr(buffer)
  local params = { textDocument = { uri = uri }, position = { line = line, character = 0 } }
  lsp_client.request('flowchart/graph', params, function(err, result)
    if err or not result then
      vim.notify('flowchart: ' .. (err and err.message or 'no method here'), vim.log.levels.WARN)
      return
    end
    -- The buffer as it is now, in a folder of its own, under its own name.
    local folder = vim.fn.tempname()
    vim.fn.mkdir(folder, 'p')
    local source = folder .. '/' .. vim.fn.fnamemodify(vim.api.nvim_buf_get_name(buffer), ':t')
    vim.fn.writefile(vim.api.nvim_buf_get_lines(buffer, 0, -1, false), source)
    local name = result.method .. ':' .. (result.range.start.line + 1)
    local page = folder .. '/' .. (kind == 'sequence' and 'sequence.html' or 'flowchart.html')
    local command = kind == 'sequence' and 'sequence' or 'draw'
    run({ M.config.cmd[1], command, source, name, '-o', page }, function()
      local open = vim.deepcopy(M.config.open)
      table.insert(open, page)
      run(open)
    end)
  end, buffer)
end

function M.setup(options)
  M.config = vim.tbl_deep_extend('force', M.config, options or {})
  vim.lsp.commands['flowchart.showFlowchart'] = function(command, context)
    M.open(context.bufnr or vim.uri_to_bufnr(command.arguments[1]), command.arguments[2], 'flowchart')
  end
  vim.lsp.commands['flowchart.showSequence'] = function(command, context)
    M.open(context.bufnr or vim.uri_to_bufnr(command.arguments[1]), command.arguments[2], 'sequence')
  end
  vim.api.nvim_create_user_command('FlowchartOpen', function()
    M.open(vim.api.nvim_get_current_buf(), vim.api.nvim_win_get_cursor(0)[1] - 1, 'flowchart')
  end, { desc = "Open the flowchart of the method under the cursor" })
  vim.api.nvim_create_user_command('FlowchartSequence', function()
    M.open(vim.api.nvim_get_current_buf(), vim.api.nvim_win_get_cursor(0)[1] - 1, 'sequence')
  end, { desc = "Open the sequence diagram of the method under the cursor" })
  local group = vim.api.nvim_create_augroup('flowchart', { clear = true })
  vim.api.nvim_create_autocmd('FileType', {
    group = group,
    pattern = 'java',
    callback = function(event)
      M.attach(event.buf)
    end,
  })
end

return M
